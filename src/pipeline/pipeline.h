// One recording from its file to its evaluation: the reader, the four analysis stages and the
// evaluation every output formats. chew_eval, chew_study, the benchmark and the fuzz targets all
// evaluate a file here.
//
// Reads  a recording file (see recording/read_data.h) and the settings.
// Writes the recording store (emptied first), which holds the recording until the next call, and
//        returns the reading's outcome and the Evaluation.
#pragma once

#include <cstdint>
#include <string>

#include "analysis/evaluation.h"
#include "pipeline/settings.h"
#include "recording/read_data.h"

// What the caller formats, which decides what is read and kept:
//   report  the classic report: the EMG of each experiment conditioned as the reader finishes
//           it, so that only a few experiments' channel values are ever held;
//   tables  also the study's tables: the incisal positions (kinematics), the facts of the raw
//           samples and the data checks' findings; conditioned during the reading as well;
//   pages   also the check pages, which draw every sample's smoothed EMG: the channel columns
//           are kept whole and each experiment is conditioned after the reading, by the same step.
enum class Output { report, tables, pages };

// What the reading found, also where it failed part of the way (the counts up to there).
struct RecordingCounts {
  int samples = 0;                // no_entries
  int experiments = 0;            // no_tracks
  int calibration_type = 0;       // 0 five points (or no calibration line), 1 three points
  long double sampling_rate = 0;  // Hz, the `frequency` header as the index tables read it
  RecordingForm form;
};

struct FileEvaluation {
  ReadResult read;
  std::string failure;  // why the recording could not be evaluated (read_failure); empty if ok
  RecordingCounts counts;
  Evaluation evaluation;  // when ok()
  bool ok() const { return read.status == ReadStatus::ok; }
};

// `clench_experiments`: the positions (bit k for position k) whose clench windows the evaluation
// keeps (Evaluation::clench_windows), taken while each experiment's smoothed EMG is at hand.
FileEvaluation evaluate_file(const char* path, const Settings& settings, Output what,
                             std::uint32_t clench_experiments = 0);

// The four analysis stages in their fixed order over the recording in the store, which the
// reader filled whole (tests, and the comparison with the straightforward implementation).
void run_analysis(const Settings& settings);
// The stages after EMG conditioning: distances, cycles, muscle work.
void run_analysis_after_emg(const Settings& settings);

// Why a recording could not be evaluated, as chew_eval says it (without its program name and line
// end); empty when it was read. The reader's own three messages are the texts chew_eval prints
// on standard output (is_reader_message); the others it prints on standard error.
std::string read_failure(const ReadResult& read, const std::string& path);
bool is_reader_message(ReadStatus status);
