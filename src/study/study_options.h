// The command line of chew_study: chew_eval's run settings, checked, and the study's options.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "io/signals.h"
#include "pipeline/settings.h"
#include "study/tables.h"

struct StudyOptions {
  Settings settings;      // chew_eval's defaults; track stays unused
  GivenSettings given;    // the thresholds as given, for runs.csv
  std::string out = ".";  // folder of the reports and tables
  int jobs = 1;           // recordings evaluated at once, one process each
  bool quiet = false;     // no progress on standard error
  bool pages = false;     // a check page <name>_check.html per recording
  bool strict = false;    // an error finding of the data checks fails the exit status
  bool recursive = true;  // a folder stands for its subfolders' recordings too
  std::string base;       // the folder reports' paths begin at; empty: the inputs' common one
  bool list = false;      // only print the recordings a study would take
  bool nul_ends = false;  // --list ends each path with a NUL, not a line end
  bool help = false;
  bool version = false;
  std::vector<std::string> inputs;  // recordings and folders, in command-line order
};

struct ParsedStudyOptions {
  StudyOptions options;
  std::string error;  // empty when the command line is good
};

// As many workers as the signal clean-up can stop.
constexpr int kMaxJobs = kWorkerSlots;

// Options and inputs may be mixed; "--" ends the options. Settings take chew_eval's spelling
// (-rms_time 40) or a long one (--rms-time 40, --rms-time=40). A value must be a number as a
// whole: a window a whole number of milliseconds, not negative; a threshold a finite decimal
// number, not negative. A repeated option overrides the earlier one.
//
// A threshold is converted as chew_eval converts it (the per cent as a double, divided by 100 in
// extended precision), except one given equal to its default, which is the default itself: the
// EMG threshold's default is the double 0.03, which 3 / 100 is not, so --emg-threshold 3 (or 3.0,
// 300e-2) gives the very results of no option.
ParsedStudyOptions parse_study_options(int argc, const char* const* argv);

void print_study_help(std::FILE* out);

// "chew_study 2.0": the version the reports and runs.csv print.
void print_study_version(std::FILE* out);
