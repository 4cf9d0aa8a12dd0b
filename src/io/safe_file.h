// Every file the programs write (reports, tables, check pages) goes through SafeFile: the text is
// written to a temporary file beside the target, flushed to the disk, closed, and only then
// renamed over the target. A reader of the target sees the older file or the complete new one,
// never a part; a failed write leaves the older file as it was and no temporary behind; a
// symbolic link at the target's name is itself replaced, its target left alone.
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
  std::string temp_;
  std::FILE* stream_ = nullptr;
  int open_error_ = 0;
  int write_error_ = 0;
  bool committed_ = false;
};

// The whole of `text` into `target` through a SafeFile. Returns 0 or the error number.
int write_file_safely(const std::string& target, const std::string& text);
