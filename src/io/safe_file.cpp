#include "io/safe_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "io/signals.h"

namespace {

// The temporary file's name pattern: hidden, beside the target, so the rename stays within one
// file system.
std::string temporary_pattern(const std::string& target) {
  const std::size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  return folder + "." + name + ".XXXXXX";
}

int last_error() { return errno != 0 ? errno : EIO; }

// The staging redirection: targets beginning with staged_folder go below stage_folder.
std::string staged_folder, stage_folder;

}  // namespace

void stage_files(const std::string& folder, const std::string& stage) {
  staged_folder = folder;
  stage_folder = folder.empty() ? "" : stage;
}

std::string staged_path(const std::string& target) {
  if (staged_folder.empty() || target.compare(0, staged_folder.size(), staged_folder) != 0)
    return target;
  return stage_folder + target.substr(staged_folder.size());
}

SafeFile::SafeFile(const std::string& target)
    : target_(target), path_(staged_path(target)), temp_(temporary_pattern(path_)) {
  // No signal between creating the file and entering it, or a signal would miss it.
  sigset_t all, old;
  sigfillset(&all);
  sigprocmask(SIG_BLOCK, &all, &old);
  const int fd = mkstemp(temp_.data());
  const int create_error = last_error();
  if (fd >= 0) enter_temporary(temp_.c_str());
  sigprocmask(SIG_SETMASK, &old, nullptr);
  if (fd < 0) {
    open_error_ = create_error;
    return;
  }
  // The file gets the permissions fopen(target, "w") would give it, not mkstemp's 0600.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  stream_ = fdopen(fd, "w");
  if (stream_ == nullptr) {
    open_error_ = last_error();
    close(fd);
    unlink(temp_.c_str());
    leave_temporary(temp_.c_str());
  }
}

SafeFile::~SafeFile() {
  if (stream_ != nullptr) {
    std::fclose(stream_);
    unlink(temp_.c_str());
    leave_temporary(temp_.c_str());
  }
}

void SafeFile::write(const std::string& text) {
  if (stream_ == nullptr || write_error_ != 0) return;
  errno = 0;
  if (std::fwrite(text.data(), 1, text.size(), stream_) != text.size()) write_error_ = last_error();
}

int SafeFile::commit() {
  if (stream_ == nullptr) return committed_ ? 0 : open_error_;
  int error = write_error_;
  errno = 0;
  if ((std::fflush(stream_) != 0 || std::ferror(stream_)) && error == 0) error = last_error();
  if (error == 0 && fsync(fileno(stream_)) != 0) error = last_error();
  errno = 0;
  if (std::fclose(stream_) != 0 && error == 0) error = last_error();
  stream_ = nullptr;
  // A staged file is put in place with the rest of the run; a folder at its name would refuse it.
  struct stat at_target;
  if (error == 0 && path_ != target_ && lstat(target_.c_str(), &at_target) == 0 &&
      S_ISDIR(at_target.st_mode))
    error = EISDIR;
  if (error == 0 && std::rename(temp_.c_str(), path_.c_str()) != 0) error = last_error();
  if (error != 0) unlink(temp_.c_str());
  // Left only now: until the rename a signal must find it, and after it the name is free.
  leave_temporary(temp_.c_str());
  if (error != 0) return error;
  committed_ = true;
  return 0;
}

int write_file_safely(const std::string& target, const std::string& text) {
  SafeFile file(target);
  if (!file.opened()) return file.open_error();
  file.write(text);
  return file.commit();
}
