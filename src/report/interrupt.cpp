#include "report/interrupt.h"

#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstring>

namespace {

// A study's six tables, a report and a check page at once, with room to spare.
constexpr int kSlots = 16;

struct Slot {
  volatile std::sig_atomic_t used = 0;
  char path[PATH_MAX];
};
Slot slots[kSlots];

}  // namespace

void enter_temporary(const char* path) {
  const std::size_t length = std::strlen(path);
  if (length >= PATH_MAX) return;
  for (Slot& slot : slots) {
    if (slot.used) continue;
    std::memcpy(slot.path, path, length + 1);
    std::atomic_signal_fence(std::memory_order_seq_cst);  // the path is whole before it counts
    slot.used = 1;
    return;
  }
}

void leave_temporary(const char* path) {
  for (Slot& slot : slots) {
    if (slot.used && std::strcmp(slot.path, path) == 0) {
      slot.used = 0;
      return;
    }
  }
}

void forget_temporaries() {
  for (Slot& slot : slots) slot.used = 0;
}

void remove_temporaries() {
  for (Slot& slot : slots) {
    if (slot.used) unlink(slot.path);
  }
}

void end_by_signal(int signal) {
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

void handle_signal(int signal, void (*handler)(int)) {
  struct sigaction old {};
  if (sigaction(signal, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) return;
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
}

namespace {

void remove_and_end(int signal) {
  remove_temporaries();
  end_by_signal(signal);
}

}  // namespace

void remove_temporaries_on_interrupt() {
  handle_signal(SIGINT, remove_and_end);
  handle_signal(SIGTERM, remove_and_end);
}
