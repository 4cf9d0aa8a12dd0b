// One run of chew_eval: option scan, reader, the four analysis stages, report.
#pragma once

#include <string>

#include "recording/read_data.h"
#include "run/options.h"

// The four analysis stages in their fixed order, over the recording in the store.
void run_analysis(const Settings& settings);

// The stages after EMG conditioning: distances, cycles, muscle work.
void run_analysis_after_emg(const Settings& settings);

// Reads the recording (as the classic report needs it) into a store in its process-start state
// and, where it was read, runs the four stages, as chew_eval does: each experiment's EMG is
// conditioned as soon as the reader finishes it, so that the channels' values need not be held
// for the whole recording (see experiment_channel()). The results are those of run_analysis.
ReadResult read_and_analyse(const char* path, const Settings& settings);

// Why a recording could not be evaluated, as chew_eval says it (without its program name and line
// end); empty when it was read. The reader's own three messages are the texts chew_eval prints
// on standard output; the others it prints on standard error after "chew_eval: ".
std::string read_failure(const ReadResult& read, const std::string& path);
bool is_reader_message(ReadStatus status);

// The whole program. Prints the help text and the reader's messages on standard output and its
// own failure messages on standard error. Returns the exit status: 0 for help or a written
// report, 1 for a recording or report that failed, 2 for a rejected setting.
int chew_eval_main(int argc, const char* const* argv);
