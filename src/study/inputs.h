// The recordings of a study: command-line inputs with their folders expanded, and the report
// name each one gets in the output folder.
#pragma once

#include <string>
#include <vector>

struct Recording {
  std::string path;    // as given, or folder + "/" + file name for a folder's file
  std::string report;  // report file name inside the output folder
};

// The file name of `path` (what follows its last "/") up to its first ".", with "_output.txt"
// appended: data/s01.v2.txt gives s01_output.txt. It is chew_eval's report_name without the
// folder part.
std::string study_report_name(const std::string& path);

struct Expansion {
  std::vector<Recording> recordings;  // in input order, a folder's files in sorted order
  std::vector<std::string> warnings;  // folders without recordings
  std::string error;                  // a folder that could not be listed
};

// A folder stands for its regular *.txt files that are neither reports (*_output.txt) nor hidden
// (a name beginning with "."), sorted by name; any other input is a recording, whether it
// exists or not, and whatever kind of file it is (the reader refuses what is no regular file).
Expansion expand_inputs(const std::vector<std::string>& inputs);

// Messages for recordings that would write the same report, or whose report would replace one
// of the recordings; empty when there are none.
std::vector<std::string> report_conflicts(const std::vector<Recording>& recordings,
                                          const std::string& out);

// The path of a file in the output folder.
std::string in_folder(const std::string& folder, const std::string& name);
