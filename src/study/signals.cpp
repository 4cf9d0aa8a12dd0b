#include "study/signals.h"

#include <limits.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cerrno>
#include <cstring>

#include "report/interrupt.h"
#include "study/study_options.h"

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGPIPE};

struct Worker {
  volatile std::sig_atomic_t used = 0;
  pid_t pid = 0;
  std::size_t index = 0;
};
Worker workers[kMaxJobs];

char scratch[PATH_MAX];
volatile std::sig_atomic_t has_scratch = 0;

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

void stop_study(int signal) {
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
  remove_temporaries();
  end_by_signal(signal);
}

}  // namespace

void stop_study_on_signals() {
  for (int signal : kSignals) handle_signal(signal, stop_study);
}

SignalsHeld::SignalsHeld() {
  sigset_t held;
  sigemptyset(&held);
  for (int signal : kSignals) sigaddset(&held, signal);
  sigprocmask(SIG_BLOCK, &held, &old_);
}

SignalsHeld::~SignalsHeld() { sigprocmask(SIG_SETMASK, &old_, nullptr); }

void enter_scratch(const char* folder) {
  if (std::strlen(folder) >= sizeof scratch) return;
  std::strcpy(scratch, folder);
  std::atomic_signal_fence(std::memory_order_seq_cst);
  has_scratch = 1;
}

void leave_scratch() { has_scratch = 0; }

void enter_worker(pid_t pid, std::size_t index) {
  for (Worker& w : workers) {
    if (w.used) continue;
    w.pid = pid;
    w.index = index;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    w.used = 1;
    return;
  }
}

void worker_takes(pid_t pid, std::size_t index) {
  for (Worker& w : workers)
    if (w.used && w.pid == pid) w.index = index;
}

void leave_worker(pid_t pid) {
  for (Worker& w : workers)
    if (w.used && w.pid == pid) w.used = 0;
}

void become_worker() {
  for (Worker& w : workers) w.used = 0;
  has_scratch = 0;
  forget_temporaries();
}
