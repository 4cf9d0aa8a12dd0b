// The report file: its name, the run summary, and the sections in their fixed order.
//
// Reads  the evaluation (header texts, counts, calibration type, run-wide MVC and noise levels
//        in uV, run-wide maxima in mm, the summary's figures and what the section writers read)
//        and the settings' window lengths and distance threshold.
// Writes the report to a file of the caller's choice (beside the data file: report_name), or
//        nothing when it cannot be written whole.
#pragma once

#include <cstdio>
#include <string>

#include "analysis/evaluation.h"
#include "pipeline/settings.h"

// The report's path: the data path's folder part as given (up to and including its last "/"),
// then the file's own name up to (not including) the name's first ".", then "_output.txt".
// data/s01.v2.txt gives data/s01_output.txt, ../a.b/rec.txt gives ../a.b/rec_output.txt. A name
// that begins with "." leaves nothing before the suffix: data/.hidden.txt gives data/_output.txt
// (as does a path ending in "/", which can only name a folder: its reading fails first).
std::string report_name(const char* path);

// True when report_name(path) and path are one existing file (the same device and inode) under
// two names: a hard link, or a symbolic link from either name to the other. chew_eval refuses
// such a run: its report would take the recording's place under one of the recording's names.
bool report_is_data_file(const char* path);

// Run summary: 18 labelled lines and a blank line.
void write_summary(std::FILE* out, const Settings& settings, const Evaluation& evaluation);

// The whole report of the evaluated recording: summary, experiment table, balance tables and
// legend, evaluation table, index tables.
void write_report(std::FILE* out, const Settings& settings, const Evaluation& evaluation);

struct ReportResult {
  bool ok = true;
  std::string message;  // why the report was not written, when !ok
};

// Writes the report of the evaluation to the file `name`, through a temporary file beside it
// that is renamed into place only when it was written and closed without error, so an older
// report survives a failed run.
ReportResult write_report_file(const std::string& name, const Settings& settings,
                               const Evaluation& evaluation);
