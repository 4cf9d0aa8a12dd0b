// The recordings of a study: command-line inputs with their folders expanded, and the path each
// one's report gets in the output folder.
#pragma once

#include <string>
#include <vector>

struct Recording {
  std::string path;    // as given, or folder + "/" + its path inside the folder for a folder's file
  std::string report;  // report's path inside the output folder: "p01/session1_output.txt"
};

// The report's file name for a recording's file name (what follows the last "/" of `path`): the
// name without a final ".txt", with "_output.txt" appended. subject01.txt gives
// subject01_output.txt, S01.pre.txt S01.pre_output.txt, rec.TXT rec.TXT_output.txt (only ".txt"
// is cut, so S01.TXT and S01.txt keep reports of their own), rec rec_output.txt.
std::string study_report_name(const std::string& path);

// What a folder given as input stands for, and where the reports go.
struct Selection {
  bool recursive = true;  // a folder's subfolders too
  std::string out;        // the output folder: a subfolder that is this folder is left out
  std::string base;       // the folder the reports' paths begin at; empty: the inputs' common one
};

struct Expansion {
  std::vector<Recording> recordings;  // in input order, a folder's files in sorted order
  std::vector<std::string> warnings;  // folders without recordings, and why
  std::string error;                  // a folder that could not be listed, a recording outside
                                      // the base folder
};

// A folder stands for its regular files named *.txt in any case (.TXT, .Txt) that are neither
// reports (*_output.txt, in any case) nor hidden (a name beginning with "."), and, when
// recursive, for those of its subfolders but hidden ones, links to folders and the output
// folder; sorted by their path in byte order. Any other input is a recording, whether it exists
// or not, and whatever kind of file it is (the reader refuses what is no regular file).
//
// A report's path inside the output folder is the recording's folder relative to the base folder
// and the report's name (study_report_name). The base folder is the one all inputs share: a
// folder input itself, a file input's folder, their longest common beginning; paths are made
// absolute against the working folder and "." and ".." are taken as written, without following
// links. A study of one folder writes its recordings' reports at their paths inside it; a study
// of files in one folder writes the reports flat. Two recordings get the same report only when
// their paths name one file (a.txt and ./a.txt, a folder and a file in it), or for a name and
// that name with ".txt" (rec and rec.txt).
Expansion expand_inputs(const std::vector<std::string>& inputs, const Selection& selection = {});

// Messages for recordings that would write the same report, or whose report would replace one
// of the recordings; empty when there are none.
std::vector<std::string> report_conflicts(const std::vector<Recording>& recordings,
                                          const std::string& out);

// The path of a file in the output folder.
std::string in_folder(const std::string& folder, const std::string& name);
