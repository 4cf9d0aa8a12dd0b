// The command line of chew_eval: options, their defaults and the help text.
#pragma once

#include <cstdio>
#include <string>

#include "pipeline/settings.h"

struct CommandLine {
  std::string program;  // first argument, empty when there is none
  Settings settings;
  bool help = false;           // -h or --help
  bool version = false;        // --version
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
const char* negative_window(const Settings& settings);
