// One recording of a study: the evaluator's stages, its report, and its rows of the tables.
#pragma once

#include <string>

#include "pipeline/settings.h"
#include "study/inputs.h"

// The rows one recording contributes to the five tables, each record with its line end.
struct RecordingTables {
  bool ok = false;
  std::string status;            // "ok", or why the recording failed
  int warnings = 0, errors = 0;  // the data checks' findings of each severity
  std::string experiments, indices, cycles, trials, runs, findings;
  std::string key_figures;  // the overview page's figures (key_values_text); empty when failed
};

// Empties the store, reads the recording, runs the analysis stages, writes the report into the
// folder `out` and returns the rows. A failing recording returns only its runs.csv row.
// With `pages`, also writes the recording's check page into `out`; a page that cannot be
// written fails the recording as a report does.
RecordingTables evaluate_recording(const Recording& recording, const Settings& settings,
                                   const std::string& out, bool pages = false);

// The rows of a recording whose evaluation ended without returning, e.g. by a signal.
RecordingTables failed_recording(const Recording& recording, const Settings& settings,
                                 const std::string& message);
