// An output folder holds exactly one run of chew_study (or of chew_study merge): the run's whole
// set of files (tables, reports, check pages, overview) replaces the earlier run's set at once,
// and the earlier run's files that this run does not write are removed. Only files a run wrote
// are ever removed, as the folder's manifest names them; anything else is left alone and named.
//
// DIR/.chew_study/ keeps the folder's books:
//   lock          locked (flock) by the run that writes into DIR, for as long as it lives
//   manifest.csv  the run in place: each file's path in DIR, bytes, rows (tables) and SHA-256
//   stage/        the run being written: files/ as DIR will hold them; when every file is
//                 written, manifest.csv (the new run's) and remove.csv (the earlier run's files
//                 to go) beside it
//   commit/       stage/ renamed: the commit. From here the run is put in place: each file
//                 renamed from files/ into DIR, each file of remove.csv removed, manifest.csv
//                 renamed over DIR's, commit/ removed.
// The rename of stage/ to commit/ is atomic. Before it nothing in DIR has changed, and a failed or
// interrupted run only removes stage/; after it, the signals are held until the run is in place.
// A run that is killed outright (SIGKILL, a power cut) leaves stage/, which the next run into DIR
// removes, or commit/, which the next run, or merge reading DIR as a part, finishes first.
#pragma once

#include <string>
#include <vector>

// The folder of the books inside an output folder.
constexpr char kBooks[] = ".chew_study";

// A file of a run, by its path inside the output folder.
struct RunFile {
  std::string path;
  bool table = false;  // a CSV table: the manifest counts its rows
};

// A file as the manifest records it.
struct ManifestEntry {
  std::string path;
  unsigned long long bytes = 0;
  std::string rows;  // a table's records after its header; empty for other files
  std::string sha256;
};

class OutputFolder {
 public:
  // Takes `folder` for a run: makes it when missing, locks it, and finishes or removes what a run
  // killed outright left there. error() says why it could not; in_use() that another run has it.
  explicit OutputFolder(const std::string& folder);
  // Stops staging; an uncommitted stage is removed (after the workers writing into it are
  // stopped), and the lock is released.
  ~OutputFolder();
  OutputFolder(const OutputFolder&) = delete;
  OutputFolder& operator=(const OutputFolder&) = delete;

  const std::string& error() const { return error_; }
  bool in_use() const { return in_use_; }

  // Begins the run: an empty stage, into which every SafeFile whose target lies in the folder is
  // written from now on (also by workers forked later); the subfolders `folders` are made in the
  // stage and in the folder. An empty text, or why not.
  std::string stage(const std::vector<std::string>& folders);
  // Where a file of the folder is written while staging.
  std::string staged(const std::string& path) const;
  // A place for the run's scratch files, outside the stage.
  const std::string& books() const { return books_; }

  struct Outcome {
    std::string error;  // empty when the run is in place
    std::vector<std::string> warnings;
  };
  // Puts the staged run in place as a whole: `files`, each of them staged, become the folder's
  // run in this order; the earlier run's other files go. Fails, with nothing changed, when a file
  // is missing or its name in the folder is a folder.
  Outcome commit(const std::vector<RunFile>& files);

 private:
  std::string folder_, books_, stage_;
  int lock_ = -1;
  bool in_use_ = false, staging_ = false, committed_ = false;
  std::string error_;
};

// A part folder that merge reads: locked against a run writing into it, a commit that a run left
// unfinished finished first, its manifest read. error() says why it cannot be read.
class PartFolder {
 public:
  explicit PartFolder(const std::string& folder);
  ~PartFolder();
  PartFolder(const PartFolder&) = delete;
  PartFolder& operator=(const PartFolder&) = delete;

  const std::string& error() const { return error_; }
  // The manifest's entry of `path`; nullptr when it has none.
  const ManifestEntry* entry(const std::string& path) const;

 private:
  int lock_ = -1;
  std::vector<ManifestEntry> manifest_;
  std::string error_;
};

// Why `text`, read from `shown`, is not the table `entry` records; empty when it is.
std::string table_mismatch(const ManifestEntry& entry, const std::string& text,
                           const std::string& shown);
