// How chew_study ends on SIGINT, SIGTERM and SIGPIPE (a closed pipe on standard error): its
// workers stopped and waited for, their fragments and the scratch folder removed, every temporary
// table, report and page removed, then ended by the signal (a shell's status 128 + signal). The
// tables of an earlier study stay as they were. The handler reads only what is entered here, in
// static storage, and calls only async-signal-safe functions.
#pragma once

#include <signal.h>
#include <sys/types.h>

#include <cstddef>

// Installs the handler for the three signals (a signal the study was started with ignored stays
// ignored).
void stop_study_on_signals();

// Holds the three signals back for as long as it lives, so the handler never sees a change half
// made: a worker started and entered, a fragment read and removed, the tables put in place.
class SignalsHeld {
 public:
  SignalsHeld();
  ~SignalsHeld();
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;

 private:
  sigset_t old_;
};

// The scratch folder the workers hand their rows back in; removed by the handler when empty.
void enter_scratch(const char* folder);
void leave_scratch();

// A running worker and the recording it evaluates (kNoRecording while it waits for one): the
// handler stops it and removes its fragment <scratch>/<index>. Enter it before the signals are
// let through again after the fork, enter each recording it is handed, and leave it once it is
// reaped.
constexpr std::size_t kNoRecording = static_cast<std::size_t>(-1);
void enter_worker(pid_t pid, std::size_t index);
void worker_takes(pid_t pid, std::size_t index);
void leave_worker(pid_t pid);

// In a forked worker: forgets its parent's workers, scratch folder and temporary files; a signal
// then removes only the worker's own temporary files.
void become_worker();
