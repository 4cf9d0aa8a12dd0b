#include "study/output_folder.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <system_error>

#include "io/safe_file.h"
#include "io/signals.h"
#include "study/csv.h"
#include "study/inputs.h"
#include "study/sha256.h"

namespace {

constexpr char kLock[] = "lock", kManifest[] = "manifest.csv", kStage[] = "stage",
               kCommit[] = "commit", kFiles[] = "files", kRemove[] = "remove.csv";
// The most names a warning lists; the rest are counted.
constexpr std::size_t kNamesShown = 10;

std::string failure(const std::string& what, int error) {
  return what + ": " + std::strerror(error);
}

// "p01/s1_output.txt" gives "p01"; a name at the top gives "".
std::string parent_of(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? "" : path.substr(0, slash);
}

// A path a manifest may name: relative, no empty, "." or ".." part, not in the books.
bool valid_path(const std::string& path) {
  if (path.empty() || path[0] == '/') return false;
  std::size_t start = 0;
  for (;;) {
    const std::size_t slash = path.find('/', start);
    const std::string part = path.substr(start, slash - start);
    if (part.empty() || part == "." || part == ".." || (start == 0 && part == kBooks)) return false;
    if (slash == std::string::npos) return true;
    start = slash + 1;
  }
}

bool read_text(const std::string& path, std::string& text, int& error) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) {
    error = errno;
    return false;
  }
  char buffer[65536];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n > 0) {
      text.append(buffer, static_cast<std::size_t>(n));
    } else if (n == 0 || errno != EINTR) {
      error = n == 0 ? 0 : errno;
      break;
    }
  }
  close(fd);
  return error == 0;
}

// The records of a list this program wrote (header `header`), as the fields of each.
bool parse_list(const std::string& text, const std::string& header,
                std::vector<std::vector<std::string>>& rows) {
  std::vector<std::string> records;
  if (!split_records(text, records) || records[0] != header + "\n") return false;
  for (std::size_t r = 1; r < records.size(); ++r) rows.push_back(fields_of(records[r]));
  return true;
}

constexpr char kManifestHeader[] = "file,bytes,rows,sha256";

bool parse_manifest(const std::string& text, std::vector<ManifestEntry>& entries) {
  std::vector<std::vector<std::string>> rows;
  if (!parse_list(text, kManifestHeader, rows)) return false;
  for (const std::vector<std::string>& f : rows) {
    if (f.size() != 4 || !valid_path(f[0]) || f[1].empty() ||
        f[1].find_first_not_of("0123456789") != std::string::npos || f[3].size() != 64)
      return false;
    entries.push_back({f[0], std::stoull(f[1]), f[2], f[3]});
  }
  return true;
}

std::string manifest_text(const std::vector<ManifestEntry>& entries) {
  std::string text = std::string(kManifestHeader) + "\n";
  for (const ManifestEntry& e : entries) {
    CsvRow row;
    row.add(e.path).add(std::to_string(e.bytes)).add(e.rows).add(e.sha256);
    text += row.str();
  }
  return text;
}

// The manifest at `path`; false with `error` an errno (ENOENT: there is none) or 0 (damaged).
bool read_manifest(const std::string& path, std::vector<ManifestEntry>& entries, int& error) {
  std::string text;
  if (!read_text(path, text, error)) return false;
  if (!parse_manifest(text, entries)) {
    entries.clear();
    error = 0;
    return false;
  }
  return true;
}

// A file's bytes, SHA-256 and, for a table, its records after the header, read from `path`.
int measure(const std::string& path, bool table, ManifestEntry& entry) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return errno;
  Sha256 sum;
  unsigned long long bytes = 0, records = 0;
  bool quoted = false;
  int error = 0;
  char buffer[65536];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = n == 0 ? 0 : errno;
      break;
    }
    sum.update(buffer, static_cast<std::size_t>(n));
    bytes += static_cast<unsigned long long>(n);
    for (ssize_t k = 0; table && k < n; ++k) {
      if (buffer[k] == '"') quoted = !quoted;
      if (!quoted && buffer[k] == '\n') ++records;
    }
  }
  close(fd);
  if (error != 0) return error;
  entry.bytes = bytes;
  entry.sha256 = sum.hex();
  entry.rows = table ? std::to_string(records > 0 ? records - 1 : 0) : "";
  return 0;
}

// Flushes a folder's entries to the disk (the renames into it).
void sync_folder(const std::string& folder) {
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

// Puts the committed run at books/commit in place; idempotent, so a run killed in the middle is
// finished by the next. An empty text, or why not.
std::string roll_forward(const std::string& folder, const std::string& books) {
  const std::string commit = in_folder(books, kCommit);
  struct stat info;
  if (lstat(commit.c_str(), &info) != 0) return "";
  const std::string manifest = in_folder(commit, kManifest);
  std::vector<ManifestEntry> entries;
  int error = 0;
  if (!read_manifest(manifest, entries, error)) {
    if (error != ENOENT) return "cannot read '" + manifest + "'";
    remove_tree(commit.c_str());  // its manifest already in place: only the rest is left
    return "";
  }
  std::string text;
  std::vector<std::vector<std::string>> removed;
  if (!read_text(in_folder(commit, kRemove), text, error) || !parse_list(text, "file", removed))
    return "cannot read '" + in_folder(commit, kRemove) + "'";
  std::set<std::string> folders = {folder};
  for (const ManifestEntry& entry : entries) {
    const std::string from = in_folder(in_folder(commit, kFiles), entry.path);
    if (lstat(from.c_str(), &info) != 0) continue;  // put in place before
    const std::string to = in_folder(folder, entry.path);
    std::error_code made;
    std::filesystem::create_directories(in_folder(folder, parent_of(entry.path)), made);
    if (std::rename(from.c_str(), to.c_str()) != 0)
      return failure("cannot put '" + to + "' in place", errno);
    folders.insert(in_folder(folder, parent_of(entry.path)));
  }
  for (const std::string& f : folders) sync_folder(f);
  for (const std::vector<std::string>& row : removed) {
    if (row.size() != 1 || !valid_path(row[0])) continue;
    if (unlink(in_folder(folder, row[0]).c_str()) != 0) continue;
    // A folder the earlier run's files alone filled goes with them.
    for (std::string p = parent_of(row[0]); !p.empty(); p = parent_of(p))
      if (rmdir(in_folder(folder, p).c_str()) != 0) break;
  }
  if (std::rename(manifest.c_str(), in_folder(books, kManifest).c_str()) != 0)
    return failure("cannot put '" + in_folder(books, kManifest) + "' in place", errno);
  sync_folder(books);
  remove_tree(commit.c_str());
  return "";
}

// "notes.txt, old/ and 3 more": the first names of a list.
std::string names(const std::vector<std::string>& list) {
  std::string text;
  for (std::size_t k = 0; k < list.size() && k < kNamesShown; ++k)
    text += (k == 0 ? "" : ", ") + list[k];
  if (list.size() > kNamesShown)
    text += " and " + std::to_string(list.size() - kNamesShown) + " more";
  return text;
}

// What the folders of the run in `folder` hold besides the run: every name that is not hidden,
// a folder that holds none of the run's files by its name alone.
std::vector<std::string> others(const std::string& folder, const std::vector<ManifestEntry>& run) {
  std::set<std::string> files, folders = {""};
  for (const ManifestEntry& e : run) {
    files.insert(e.path);
    for (std::string p = parent_of(e.path); !p.empty(); p = parent_of(p)) folders.insert(p);
  }
  std::vector<std::string> found;
  for (const std::string& inside : folders) {
    std::error_code error;
    for (std::filesystem::directory_iterator it(in_folder(folder, inside), error), end;
         !error && it != end; it.increment(error)) {
      const std::string name = it->path().filename().string();
      const std::string path = inside.empty() ? name : inside + "/" + name;
      if (name[0] == '.' || files.count(path) > 0 || folders.count(path) > 0) continue;
      std::error_code type_error;
      const bool is_folder = !it->is_symlink(type_error) && it->is_directory(type_error);
      found.push_back(is_folder ? path + "/" : path);
    }
  }
  std::sort(found.begin(), found.end());
  return found;
}

}  // namespace

OutputFolder::OutputFolder(const std::string& folder)
    : folder_(folder), books_(in_folder(folder, kBooks)) {
  std::error_code made;
  std::filesystem::create_directories(folder, made);
  if (made) {
    error_ = "cannot make the output folder '" + folder + "': " + made.message();
    return;
  }
  if (mkdir(books_.c_str(), 0777) != 0 && errno != EEXIST) {
    error_ = failure("cannot make the folder '" + books_ + "'", errno);
    return;
  }
  const std::string lock = in_folder(books_, kLock);
  lock_ = open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
  if (lock_ < 0) {
    error_ = failure("cannot open '" + lock + "'", errno);
    return;
  }
  if (flock(lock_, LOCK_EX | LOCK_NB) != 0) {
    const int lock_error = errno;
    std::string holder;
    int ignored = 0;
    read_text(lock, holder, ignored);
    holder = holder.substr(0, std::min(holder.find('\n'), std::size_t{20}));
    in_use_ = lock_error == EWOULDBLOCK;
    error_ = in_use_ ? "the output folder '" + folder + "' is in use by another chew_study run" +
                           (holder.empty() ? "" : " (process " + holder + ")")
                     : failure("cannot lock '" + lock + "'", lock_error);
    return;
  }
  // Who holds it, for the message of a run refused meanwhile (only a message: not checked).
  const std::string pid = std::to_string(getpid()) + "\n";
  if (ftruncate(lock_, 0) == 0) {
    const ssize_t written = pwrite(lock_, pid.data(), pid.size(), 0);
    (void)written;
  }
  const std::string finished = roll_forward(folder_, books_);
  if (!finished.empty()) {
    error_ = "cannot finish the run that was cut off in '" + folder + "': " + finished;
    return;
  }
  // A stage and scratch folders of a run killed outright: nothing of them was put in place.
  std::error_code error;
  for (std::filesystem::directory_iterator it(books_, error), end; !error && it != end;
       it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (name != kLock && name != kManifest) remove_tree(it->path().c_str());
  }
}

OutputFolder::~OutputFolder() {
  if (staging_) stage_files("", "");
  if (!stage_.empty() && !committed_) {
    stop_workers();  // none writes into the stage any more
    const SignalsHeld held;
    remove_tree(stage_.c_str());
    leave_stage();
  }
  if (lock_ >= 0) close(lock_);
}

std::string OutputFolder::stage(const std::vector<std::string>& folders) {
  const std::string stage = in_folder(books_, kStage);
  {
    const SignalsHeld held;  // made and entered at once
    if (mkdir(stage.c_str(), 0777) != 0) return failure("cannot make '" + stage + "'", errno);
    stage_ = stage;
    enter_stage(stage_.c_str());
  }
  const std::string files = in_folder(stage_, kFiles);
  if (mkdir(files.c_str(), 0777) != 0) return failure("cannot make '" + files + "'", errno);
  for (const std::string& f : folders) {
    for (const std::string& made : {in_folder(files, f), in_folder(folder_, f)}) {
      std::error_code error;
      std::filesystem::create_directories(made, error);
      if (error) return "cannot make the folder '" + made + "': " + error.message();
    }
  }
  stage_files(in_folder(folder_, ""), in_folder(files, ""));
  staging_ = true;
  return "";
}

std::string OutputFolder::staged(const std::string& path) const {
  return staging_ ? in_folder(in_folder(stage_, kFiles), path) : in_folder(folder_, path);
}

OutputFolder::Outcome OutputFolder::commit(const std::vector<RunFile>& files) {
  Outcome outcome;
  if (staging_) stage_files("", "");
  staging_ = false;
  const std::string staged_files = in_folder(stage_, kFiles);
  struct stat stage_info;
  if (stat(staged_files.c_str(), &stage_info) != 0) {
    outcome.error = failure("cannot read '" + staged_files + "'", errno);
    return outcome;
  }
  std::vector<ManifestEntry> run;
  std::set<std::string> in_run;
  for (const RunFile& file : files) {
    const std::string target = in_folder(folder_, file.path);
    ManifestEntry entry;
    entry.path = file.path;
    struct stat info;
    if (!valid_path(file.path)) {
      outcome.error = "cannot put '" + target + "' in place: a name of the folder's books";
    } else if (const int error = measure(in_folder(staged_files, file.path), file.table, entry)) {
      outcome.error = failure("cannot read the written '" + target + "'", error);
    } else if (lstat(target.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
      outcome.error = failure("cannot put '" + target + "' in place", EISDIR);
    } else if (stat(in_folder(folder_, parent_of(file.path)).c_str(), &info) != 0) {
      outcome.error = failure("cannot put '" + target + "' in place", errno);
    } else if (info.st_dev != stage_info.st_dev) {
      outcome.error = "cannot put '" + target + "' in place: its folder lies on another file " +
                      "system than '" + books_ + "'";
    }
    if (!outcome.error.empty()) return outcome;
    run.push_back(entry);
    in_run.insert(file.path);
  }

  // The earlier run's files that this one does not write go, unless they changed since.
  std::vector<ManifestEntry> earlier;
  int error = 0;
  if (!read_manifest(in_folder(books_, kManifest), earlier, error) && error != ENOENT)
    outcome.warnings.push_back("the manifest of the earlier run in '" + folder_ +
                               "' cannot be read: its files are left as they are");
  std::string removed = "file\n";
  std::set<std::string> changed;
  for (const ManifestEntry& e : earlier) {
    if (in_run.count(e.path) > 0) continue;
    struct stat info;
    if (lstat(in_folder(folder_, e.path).c_str(), &info) != 0) continue;
    ManifestEntry now;
    if (S_ISREG(info.st_mode) && measure(in_folder(folder_, e.path), false, now) == 0 &&
        now.bytes == e.bytes && now.sha256 == e.sha256) {
      removed += CsvRow().add(e.path).str();
    } else {
      changed.insert(e.path);
    }
  }

  // The journal, then the commit.
  for (const auto& [name, text] : {std::pair{kManifest, manifest_text(run)}, {kRemove, removed}}) {
    if (const int write_error = write_file_safely(in_folder(stage_, name), text)) {
      outcome.error = failure("cannot write '" + in_folder(stage_, name) + "'", write_error);
      return outcome;
    }
  }
  std::set<std::string> folders = {stage_, staged_files};
  for (const ManifestEntry& e : run) folders.insert(in_folder(staged_files, parent_of(e.path)));
  for (const std::string& f : folders) sync_folder(f);
  {
    const SignalsHeld held;  // from the commit until the run is in place
    if (std::rename(stage_.c_str(), in_folder(books_, kCommit).c_str()) != 0) {
      outcome.error = failure("cannot commit the run in '" + folder_ + "'", errno);
      return outcome;
    }
    committed_ = true;
    leave_stage();
    sync_folder(books_);
    const std::string finished = roll_forward(folder_, books_);
    if (!finished.empty()) {
      outcome.error = finished + "; the next chew_study run into '" + folder_ + "' finishes it";
      return outcome;
    }
  }
  std::vector<std::string> left = others(folder_, run);
  for (std::string& name : left)
    if (changed.count(name) > 0) name += " (changed since an earlier run wrote it)";
  if (!left.empty())
    outcome.warnings.push_back("'" + folder_ + "' also holds what this run did not write, left " +
                               "as it is: " + names(left));
  return outcome;
}

PartFolder::PartFolder(const std::string& folder) {
  const std::string books = in_folder(folder, kBooks);
  lock_ = open(in_folder(books, kLock).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (lock_ >= 0 && flock(lock_, LOCK_SH | LOCK_NB) != 0) {
    error_ = "the part '" + folder + "' is in use by a chew_study run";
    return;
  }
  struct stat info;
  if (lock_ >= 0 && lstat(in_folder(books, kCommit).c_str(), &info) == 0) {
    // A run killed while it was put in place: finished, as a run into the folder would.
    if (flock(lock_, LOCK_EX | LOCK_NB) != 0) {
      error_ = "the part '" + folder + "' is in use by a chew_study run";
      return;
    }
    const std::string finished = roll_forward(folder, books);
    flock(lock_, LOCK_SH);
    if (!finished.empty()) {
      error_ = "cannot finish the run that was cut off in the part '" + folder + "': " + finished;
      return;
    }
  }
  int error = 0;
  if (read_manifest(in_folder(books, kManifest), manifest_, error)) return;
  if (error != ENOENT) {
    error_ = "the manifest of the part '" + folder + "' cannot be read" +
             (error != 0 ? std::string(": ") + std::strerror(error) : std::string(" (damaged)"));
    return;
  }
  std::string runs;
  int ignored = 0;
  read_text(in_folder(folder, "runs.csv"), runs, ignored);
  const std::size_t line_end = runs.find('\n');
  const bool crlf = line_end != std::string::npos && line_end > 0 && runs[line_end - 1] == '\r';
  error_ = "the part '" + folder + "' has no manifest (" + in_folder(books, kManifest) + ")" +
           (crlf ? ": its tables, with CRLF line ends, were written by an earlier chew_study"
                 : ": it was not written by chew_study, or by an earlier one") +
           "; evaluate the part again";
}

PartFolder::~PartFolder() {
  if (lock_ >= 0) close(lock_);
}

const ManifestEntry* PartFolder::entry(const std::string& path) const {
  for (const ManifestEntry& e : manifest_)
    if (e.path == path) return &e;
  return nullptr;
}

std::string table_mismatch(const ManifestEntry& entry, const std::string& text,
                           const std::string& shown) {
  std::vector<std::string> records;
  split_records(text, records);
  const std::string rows = std::to_string(records.empty() ? 0 : records.size() - 1);
  if (text.size() == entry.bytes && rows == entry.rows && sha256_hex(text) == entry.sha256)
    return "";
  return "'" + shown + "' is not the table its run wrote (" + rows + " rows of " + entry.rows +
         ", " + std::to_string(text.size()) + " bytes of " + std::to_string(entry.bytes) +
         "): cut short or changed since";
}
