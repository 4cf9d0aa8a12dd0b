// chew_eval: its command line, one recording evaluated, its report.
#pragma once

// The whole program. Prints the help text and the reader's messages on standard output and its
// own failure messages on standard error. Returns the exit status: 0 for help or a written
// report, 1 for a recording or report that failed (also one whose evaluation runs out of memory:
// "chew_eval: cannot evaluate 'x.txt': out of memory"), 2 for a rejected setting.
int chew_eval_main(int argc, const char* const* argv);
