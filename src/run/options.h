// The command line of chew_eval: options, their defaults and the help text.
#pragma once

#include <cstdio>
#include <string>

struct RunSettings {
  long long rms_time = 50;                        // ms, trailing RMS window
  long long mvc_time = 500;                       // ms, MVC window
  long long nl_time = 100;                        // ms, noise-level window
  long double emg_threshold = (long double)0.03;  // fraction of MVC: the double 0.03 widened
  long double dist_threshold = 3;                 // mm
  int track = 13;                                 // accepted and shown in the help, used nowhere
};

struct CommandLine {
  std::string program;  // first argument, empty when there is none
  RunSettings settings;
  bool help = false;     // -h or --help
  bool version = false;  // --version
  const char* path = nullptr;  // the first argument that is no option; nullptr when none is left
};

// Scans options in passes of eight tests, as long as a pass matches anything. Values convert as
// atoll/atof/atoi do (no validation); arguments after the data file path are ignored.
CommandLine scan_options(int argc, const char* const* argv);

// "chew_eval 2.0": the program's name and the version its reports print.
void print_version(std::FILE* out);

// The help text, with the values in force after the scan.
void print_help(std::FILE* out, const CommandLine& command_line);

// The first window length that is negative, as "-rms_time" etc., or nullptr when none is.
const char* negative_window(const RunSettings& settings);
