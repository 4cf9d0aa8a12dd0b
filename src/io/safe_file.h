// Every file the programs write (reports, tables, check pages) goes through SafeFile: the text is
// written to a temporary file beside the target, flushed to the disk, closed, and only then
// renamed over the target. A reader of the target sees the older file or the complete new one,
// never a part; a failed write leaves the older file as it was and no temporary behind; a
// symbolic link at the target's name is itself replaced, its target left alone.
//
// A study writes its whole run into a staging folder first and puts it in place as a whole (see
// study/output_folder.h): while staging is on, a SafeFile whose target lies in the output folder
// is written to the same place in the staging folder instead. Its target() and every message
// keep the name in the output folder, and a folder at that name fails it as the rename would
// (Is a directory).
#pragma once

#include <cstdio>
#include <string>

class SafeFile {
 public:
  // Creates the temporary file; opened() tells whether that worked.
  explicit SafeFile(const std::string& target);
  ~SafeFile();  // removes the temporary file unless commit() put it in place
  SafeFile(const SafeFile&) = delete;
  SafeFile& operator=(const SafeFile&) = delete;

  bool opened() const { return stream_ != nullptr || committed_; }
  const std::string& target() const { return target_; }
  // Where the file is put: the target, or its place in the staging folder.
  const std::string& written_to() const { return path_; }

  // The stream to write to; nullptr when the file could not be created.
  std::FILE* stream() { return stream_; }
  void write(const std::string& text);

  // Flushes, syncs, closes and renames the file into place. Returns 0, or the error number of
  // the first thing that failed (creating, writing, closing or renaming), after which the
  // temporary file is gone and the target untouched.
  int commit();

  // The error number that kept the file from being created; 0 when it was.
  int open_error() const { return open_error_; }

 private:
  std::string target_;
  std::string path_;
  std::string temp_;
  std::FILE* stream_ = nullptr;
  int open_error_ = 0;
  int write_error_ = 0;
  bool committed_ = false;
};

// The whole of `text` into `target` through a SafeFile. Returns 0 or the error number.
int write_file_safely(const std::string& target, const std::string& text);

// From now on, a SafeFile whose target begins with `folder` (as in_folder(folder, name) spells
// it: "out/name") is written to `stage` + the rest of the target instead. Forked workers inherit
// it. An empty `folder` ends staging.
void stage_files(const std::string& folder, const std::string& stage);

// Where a SafeFile of `target` is put while staging is as it is now.
std::string staged_path(const std::string& target);
