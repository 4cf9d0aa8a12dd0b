#include "io/signals.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>

namespace {

// The signals each program ends on through the handler. SignalsHeld holds back all of them,
// whichever program it is in.
// SIGHUP comes from a dropped ssh session or a closed terminal.
constexpr int kEvaluatorSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int kStudySignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

// What the handler reads. Everything sits in static storage; a slot counts only once its `used`
// flag is set, and each writer fills the slot before it sets the flag (with a signal fence
// between), so the handler never reads a half-written path or worker.

// A study's nine tables, a report and a check page at once, with room to spare.
constexpr int kTemporarySlots = 16;

struct Temporary {
  volatile std::sig_atomic_t used = 0;
  char path[PATH_MAX];
};
Temporary temporaries[kTemporarySlots];

struct Worker {
  volatile std::sig_atomic_t used = 0;
  pid_t pid = 0;
  std::size_t index = 0;
};
Worker workers[kWorkerSlots];

char scratch[PATH_MAX];
volatile std::sig_atomic_t has_scratch = 0;

char stage[PATH_MAX];
volatile std::sig_atomic_t has_stage = 0;

// "<scratch>/<index>" into `path`, without the allocating or locale-dependent formatters.
void fragment_path(std::size_t index, char* path, std::size_t size) {
  char digits[24];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + index % 10);
    index /= 10;
  } while (index > 0);
  const std::size_t folder = std::strlen(scratch);
  if (folder + 1 + n + 1 > size) {
    path[0] = '\0';
    return;
  }
  std::memcpy(path, scratch, folder);
  path[folder] = '/';
  for (int k = 0; k < n; ++k) path[folder + 1 + k] = digits[n - 1 - k];
  path[folder + 1 + n] = '\0';
}

// Ends the process by `signal` with the signal's default action. Async-signal-safe.
[[noreturn]] void end_by_signal(int signal) {
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, signal);
  raise(signal);  // pending while the handler blocks it; delivered as the mask opens
  sigprocmask(SIG_UNBLOCK, &set, nullptr);
  _exit(128 + signal);  // only if the default action did not end the process
}

// Stops and reaps the entered workers, removes their fragments and the scratch folder. Only
// async-signal-safe calls: kill, waitpid, unlink, rmdir.
void stop_entered_workers() {
  for (const Worker& w : workers)
    if (w.used) kill(w.pid, SIGTERM);
  for (const Worker& w : workers) {
    if (!w.used) continue;
    while (waitpid(w.pid, nullptr, 0) < 0 && errno == EINTR) {
    }
    if (has_scratch && w.index != kNoRecording) {
      char path[PATH_MAX + 24];
      fragment_path(w.index, path, sizeof path);
      if (path[0] != '\0') unlink(path);
    }
  }
  if (has_scratch) rmdir(scratch);
}

// The one handler. Only async-signal-safe calls: those of stop_entered_workers and
// end_by_signal, and unlink. In chew_eval, and in a study's worker, no worker or scratch folder
// is entered, so it only removes the temporary files.
void clean_up_and_end(int signal) {
  stop_entered_workers();
  for (const Temporary& t : temporaries)
    if (t.used) unlink(t.path);
  if (has_stage) remove_tree(stage);
  end_by_signal(signal);
}

// Installs the handler for `signal`, unless the signal is ignored (a program started with SIGINT
// ignored, as a shell starts background jobs, keeps it ignored).
void handle_signal(int signal) {
  struct sigaction old {};
  if (sigaction(signal, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) return;
  struct sigaction action {};
  action.sa_handler = clean_up_and_end;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
}

// A write beyond the file-size limit (ulimit -f) then fails with EFBIG, which the writer reports
// and cleans up after, instead of ending the program by SIGXFSZ with its temporary file left.
void ignore_file_size_signal() { std::signal(SIGXFSZ, SIG_IGN); }

}  // namespace

void remove_temporaries_on_interrupt() {
  for (int signal : kEvaluatorSignals) handle_signal(signal);
  ignore_file_size_signal();
}

void stop_study_on_signals() {
  for (int signal : kStudySignals) handle_signal(signal);
  ignore_file_size_signal();
}

SignalsHeld::SignalsHeld() {
  sigset_t held;
  sigemptyset(&held);
  for (int signal : kStudySignals) sigaddset(&held, signal);
  sigprocmask(SIG_BLOCK, &held, &old_);
}

SignalsHeld::~SignalsHeld() { sigprocmask(SIG_SETMASK, &old_, nullptr); }

void enter_temporary(const char* path) {
  const std::size_t length = std::strlen(path);
  if (length >= PATH_MAX) return;
  for (Temporary& t : temporaries) {
    if (t.used) continue;
    std::memcpy(t.path, path, length + 1);
    std::atomic_signal_fence(std::memory_order_seq_cst);  // the path is whole before it counts
    t.used = 1;
    return;
  }
}

void leave_temporary(const char* path) {
  for (Temporary& t : temporaries) {
    if (t.used && std::strcmp(t.path, path) == 0) {
      t.used = 0;
      return;
    }
  }
}

void enter_scratch(const char* folder) {
  if (std::strlen(folder) >= sizeof scratch) return;
  std::strcpy(scratch, folder);
  std::atomic_signal_fence(std::memory_order_seq_cst);  // the folder is whole before it counts
  has_scratch = 1;
}

void leave_scratch() { has_scratch = 0; }

void enter_stage(const char* folder) {
  if (std::strlen(folder) >= sizeof stage) return;
  std::strcpy(stage, folder);
  std::atomic_signal_fence(std::memory_order_seq_cst);  // the folder is whole before it counts
  has_stage = 1;
}

void leave_stage() { has_stage = 0; }

namespace {

// One record of the getdents64 system call.
struct DirectoryEntry {
  std::uint64_t inode;
  std::int64_t next;
  unsigned short length;
  unsigned char type;
  char name[1];
};

// Removes what it can of the folder at `path`, open as `fd`: files, links and empty folders.
// Returns whether something was removed. At the first subfolder that is not empty it stops, with
// the subfolder's name appended to `path` and `descend` set.
bool remove_entries(int fd, char* path, std::size_t size, bool& descend) {
  bool removed = false;
  alignas(8) char buffer[4096];
  for (;;) {
    const long n = syscall(SYS_getdents64, fd, buffer, sizeof buffer);
    if (n <= 0) return removed;
    for (long at = 0; at < n;) {
      const DirectoryEntry* entry = reinterpret_cast<const DirectoryEntry*>(buffer + at);
      at += entry->length;
      const char* name = entry->name;
      if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
      if (unlinkat(fd, name, 0) == 0 || unlinkat(fd, name, AT_REMOVEDIR) == 0) {
        removed = true;
        continue;
      }
      if (errno != ENOTEMPTY && errno != EEXIST) continue;
      const std::size_t length = std::strlen(path), extra = std::strlen(name);
      if (length + 1 + extra + 1 > size) continue;
      path[length] = '/';
      std::memcpy(path + length + 1, name, extra + 1);
      descend = true;
      return removed;
    }
  }
}

}  // namespace

void remove_tree(const char* folder) {
  if (unlink(folder) == 0) return;  // no folder at all
  char path[PATH_MAX];
  const std::size_t root = std::strlen(folder);
  if (root >= sizeof path) return;
  std::memcpy(path, folder, root + 1);
  for (;;) {
    const int fd = open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    bool descend = false, removed = false;
    if (fd >= 0) {
      removed = remove_entries(fd, path, sizeof path, descend);
      close(fd);
    }
    if (descend) continue;
    if (removed) continue;  // entries removed while listing: look again before the folder goes
    if (rmdir(path) != 0 && errno != ENOENT) return;
    // Back up to the folder above, until the top one is gone.
    std::size_t length = std::strlen(path);
    if (length <= root) return;
    while (length > root && path[length] != '/') --length;
    path[length] = '\0';
  }
}

void enter_worker(pid_t pid, std::size_t index) {
  for (Worker& w : workers) {
    if (w.used) continue;
    w.pid = pid;
    w.index = index;
    std::atomic_signal_fence(std::memory_order_seq_cst);  // the worker is whole before it counts
    w.used = 1;
    return;
  }
}

// The callers hold the signals back (SignalsHeld): the index is no sig_atomic_t, and the handler
// must not read it half written.
void worker_takes(pid_t pid, std::size_t index) {
  for (Worker& w : workers)
    if (w.used && w.pid == pid) w.index = index;
}

void leave_worker(pid_t pid) {
  for (Worker& w : workers)
    if (w.used && w.pid == pid) w.used = 0;
}

void stop_workers() {
  const SignalsHeld held;
  stop_entered_workers();
  for (Worker& w : workers) w.used = 0;
  has_scratch = 0;
}

void become_worker() {
  for (Worker& w : workers) w.used = 0;
  has_scratch = 0;
  has_stage = 0;
  for (Temporary& t : temporaries) t.used = 0;
}
