// Helpers shared by the tests: scratch folders, files, runs of the built programs.
#pragma once

#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "recording/read_data.h"

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

void write_file(const std::string& path, const std::string& content);
std::string read_file(const std::string& path);
bool file_exists(const std::string& path);
// The names in `folder` that begin with ".": temporary files and scratch folders left behind;
// of a study's books (.chew_study) only what is not its lock and manifest.
std::vector<std::string> hidden_names(const std::string& folder);

struct CommandResult {
  int status = -1;  // exit status, or -1 when the program did not exit normally
  std::string out;  // standard output
  std::string err;  // standard error
};

// A run's standard output and error, for a failure message.
std::string describe(const CommandResult& result);

// The records of a CSV table (quoted fields, LF), each a map from column name to
// field, so the checks do not depend on the order or number of the columns.
std::vector<std::map<std::string, std::string>> csv_table(const std::string& text);

// Runs `program` with `args` in the folder `cwd`.
CommandResult run_program(const std::string& program, const std::vector<std::string>& args,
                          const std::string& cwd);

// Gives the store n samples whose every column holds zeros (all four channels included); tests
// fill in the values they need.
void size_samples(int n);

// Appends one such sample and returns its index.
int append_sample();

// Sets channel c's burst integral at sample i (< no_entries); its stretches stay in order.
void set_burst(int c, int i, long double value);

// Empties the store and reads `content` as a data file, with the study's detail (positions kept).
ReadResult read_text(const std::string& content);

// Reads `content` with read_data and with the straightforward reader (reference/), for the report
// and for the study, and expects the same status and store, bit for bit; leaves the store empty.
void expect_same_reading(const std::string& content, const std::string& what);

// Whether two extended values have the same 80 bits (NaN sign and payload included), and the
// bits as hexadecimal text, for a failure message.
bool same_extended(long double a, long double b);
std::string extended_bits(long double v);

// The lines of a text, each without its "\n".
std::vector<std::string> lines_of(const std::string& text);

// What `write` writes to a memory stream.
std::string capture(const std::function<void(std::FILE*)>& write);

// A path inside the source tree, e.g. "examples/subject01.txt".
std::string source_path(const std::string& relative);
