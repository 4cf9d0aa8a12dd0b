// One recording of a study: the evaluator's stages, its report, and its rows of the tables.
#pragma once

#include <string>

#include "run/options.h"
#include "study/inputs.h"

// The rows one recording contributes to the four tables, each record with its line end.
struct RecordingTables {
  bool ok = false;
  std::string status;  // "ok", or why the recording failed
  std::string experiments, indices, cycles, runs;
};

// Empties the store, reads the recording, runs the analysis stages, writes the report into the
// folder `out` and returns the rows. A failing recording returns only its runs.csv row.
RecordingTables evaluate_recording(const Recording& recording, const RunSettings& settings,
                                   const std::string& out);

// The rows of a recording whose evaluation ended without returning, e.g. by a signal.
RecordingTables failed_recording(const Recording& recording, const RunSettings& settings,
                                 const std::string& message);
