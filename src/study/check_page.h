// The check page of one recording: a single HTML file, without any external file or network
// access, that draws what the evaluation detected over the signals it came from.
//
// Reads  the lab's protocol (task names), the recording's evaluation (header texts, experiments,
// cycles, run-wide MVC, noise
//        levels and maximal distances, activity levels, MVC and noise-level windows) and, for
//        what it draws sample by sample, the view of the samples after the analysis stages
//        (time, incisal_dist, cycle_status, incisal positions, smoothed channels, bursts).
#pragma once

#include <string>

#include "analysis/evaluation.h"
#include "analysis/sample_view.h"
#include "pipeline/settings.h"
#include "study/protocol_file.h"

// The page's path for a report's: "p01/s01_output.txt" gives "p01/s01_check.html".
std::string check_page_name(const std::string& report_name);

// The page as text. `file` is the recording's path as given, shown in the title; the lab's
// protocol names each experiment's task.
std::string check_page(const std::string& file, const Settings& settings,
                       const Evaluation& evaluation, const SampleView& view,
                       const LabProtocol& protocol = builtin_protocol());

// Writes the page to `path`; an empty text when it is written, else why not.
std::string write_check_page(const std::string& path, const std::string& file,
                             const Settings& settings, const Evaluation& evaluation,
                             const SampleView& view, const LabProtocol& protocol);
