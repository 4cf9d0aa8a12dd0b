// How the programs end on a signal: one handler for chew_eval and chew_study. It removes every
// temporary file entered here (so an interrupted program leaves no hidden file behind) and, where
// a study has entered its workers and scratch folder, first stops and reaps the workers and
// removes their fragments and the scratch folder; then it ends the process by the signal, so its
// parent sees it ended by that signal (a shell's status 128 + signal). The tables of an earlier
// study stay as they were. The handler reads only what is entered here, in static storage, and
// calls only async-signal-safe functions; nothing is allocated.
#pragma once

#include <signal.h>
#include <sys/types.h>

#include <cstddef>

// chew_eval's signals, SIGINT, SIGTERM and SIGHUP, end it through the handler (a signal the
// program was started with ignored, as a shell starts background jobs, stays ignored). SIGXFSZ is
// ignored: a write beyond the file-size limit fails as any failed write does.
void remove_temporaries_on_interrupt();
// chew_study's signals, SIGINT, SIGTERM, SIGHUP and SIGPIPE (a closed pipe on standard error),
// end it through the handler, with the same exception; SIGXFSZ as for chew_eval.
void stop_study_on_signals();

// Holds the handled signals back for as long as it lives, so the handler never sees a change half
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

// A temporary file, removed by the handler: SafeFile enters each of its temporary files for as
// long as it exists. A path longer than a buffer, or one more than there are slots, is not
// entered (a signal would then leave it behind).
void enter_temporary(const char* path);
// Leaves it again, after it was renamed into place or removed.
void leave_temporary(const char* path);

// The scratch folder a study's workers hand their rows back in; removed by the handler when
// empty.
void enter_scratch(const char* folder);
void leave_scratch();

// The staging folder a study writes its run into before the run is put in place: the handler
// removes it with everything in it, after the workers are stopped. Left as the run is committed.
void enter_stage(const char* folder);
void leave_stage();

// Removes `folder` and everything in it (or the file or link of that name), not following links;
// async-signal-safe (the handler's own), so usable anywhere. Stops at the first thing it cannot
// remove.
void remove_tree(const char* folder);

// A running worker and the recording it evaluates (kNoRecording while it waits for one): the
// handler stops it and removes its fragment <scratch>/<index>. Enter it before the signals are
// let through again after the fork, enter each recording it is handed, and leave it once it is
// reaped. There is a slot for each of the most workers chew_study runs (its --jobs limit).
constexpr int kWorkerSlots = 256;
constexpr std::size_t kNoRecording = static_cast<std::size_t>(-1);
void enter_worker(pid_t pid, std::size_t index);
void worker_takes(pid_t pid, std::size_t index);
void leave_worker(pid_t pid);

// Stops every entered worker, waits for it and removes its fragment and the scratch folder, as
// the handler does, and leaves them: for a study that ends otherwise than through its pool's
// ordinary end (it ran out of memory).
void stop_workers();

// In a forked worker: forgets its parent's workers, scratch folder and temporary files; a signal
// then removes only the worker's own temporary files.
void become_worker();
