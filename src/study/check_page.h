// The check page of one recording: a single HTML file, without any external file or network
// access, that draws what the evaluation detected over the signals it came from.
//
// Reads  the store after the analysis stages: header texts, samples (time, incisal_dist,
//        cycle_status, the smoothed channels and their bursts), tracks[], the run-wide MVC,
//        noise levels and maximal distances; and the recording's evaluation (cycles, activity
//        levels, MVC and noise-level windows).
#pragma once

#include <string>

#include "analysis/evaluation.h"
#include "pipeline/settings.h"

// The page's file name for a report name: "s01_output.txt" gives "s01_check.html".
std::string check_page_name(const std::string& report_name);

// The page as text. `file` is the recording's path as given, shown in the title.
std::string check_page(const std::string& file, const Settings& settings,
                       const Evaluation& evaluation);

// Writes the page to `path`; an empty text when it is written, else why not.
std::string write_check_page(const std::string& path, const std::string& file,
                             const Settings& settings, const Evaluation& evaluation);
