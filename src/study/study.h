// chew_study: evaluates a whole study, writes every recording's report and the study's tables.
#pragma once

// The whole program. Returns the exit status: 0 when every recording was evaluated and every
// table written, 1 when a recording or a table failed, 2 for a bad command line (nothing is
// evaluated then). Prints progress and messages on standard error, the help on standard output.
int chew_study_main(int argc, const char* const* argv);
