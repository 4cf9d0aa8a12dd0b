// Temporary files removed when a signal ends the process. SafeFile enters each of its temporary
// files here for as long as it exists; a signal handler removes them with async-signal-safe calls
// only (the paths sit in static buffers, nothing is allocated), so an interrupted program leaves
// no hidden file behind.
#pragma once

// Enters a temporary file; a path longer than a buffer, or one more than there are slots, is not
// entered (a signal would then leave it behind).
void enter_temporary(const char* path);
// Leaves it again, after it was renamed into place or removed.
void leave_temporary(const char* path);
// Forgets every entry without removing anything: a forked process leaves its parent's files alone.
void forget_temporaries();
// Removes every entered file. Async-signal-safe.
void remove_temporaries();

// Ends the process by `signal` with the signal's default action, so its parent sees it ended by
// that signal (a shell's status 128 + signal). Async-signal-safe.
[[noreturn]] void end_by_signal(int signal);

// Installs `handler` for `signal`, unless the signal is ignored (a program started with SIGINT
// ignored, as a shell starts background jobs, keeps it ignored).
void handle_signal(int signal, void (*handler)(int));

// chew_eval's handling of SIGINT and SIGTERM: the temporary report removed, then ended by the
// signal.
void remove_temporaries_on_interrupt();
