// One recording of a study: the evaluator's stages, its report, and its rows of the tables.
#pragma once

#include <sys/types.h>

#include <string>

#include "pipeline/settings.h"
#include "study/inputs.h"
#include "study/tables.h"

// The rows one recording contributes to the five tables, each record with its line end.
struct RecordingTables {
  bool ok = false;
  std::string status;            // "ok", or why the recording failed
  int warnings = 0, errors = 0;  // the data checks' findings of each severity
  std::string experiments, indices, cycles, strokes, trials, movements, clenches, runs, findings;
  std::string key_figures;  // the overview page's figures (key_values_text); empty when failed
};

// The status of a recording whose evaluation ran out of memory.
constexpr char kOutOfMemory[] = "out of memory";

// Empties the store, reads the recording, runs the analysis stages, writes the report into the
// folder `out` and returns the rows. A failing recording returns only its runs.csv row, which
// names the report if it was written before the failure.
// With `pages`, also writes the recording's check page into `out`; a page that cannot be
// written fails the recording as a report does. A recording whose evaluation cannot allocate
// its memory fails as kOutOfMemory, its temporary files removed and the store's room given back.
// `given` is what runs.csv records of the settings as the user gave them.
RecordingTables evaluate_recording(const Recording& recording, const Settings& settings,
                                   const GivenSettings& given, const std::string& out,
                                   bool pages = false);

// The rows of a recording whose evaluation ended without returning, e.g. by a signal; with
// `report_written`, its runs.csv row names the report all the same.
RecordingTables failed_recording(const Recording& recording, const Settings& settings,
                                 const GivenSettings& given, const std::string& message,
                                 bool report_written = false);

// Which file a name leads to (the name itself, not a link's target), or that there is none: taken
// of a report before its recording is evaluated, it tells afterwards whether the evaluation put a
// report in place, which it does through a new file renamed over the name.
struct FileStamp {
  bool exists = false;
  dev_t device = 0;
  ino_t inode = 0;
};
FileStamp file_stamp(const std::string& path);
bool written_since(const FileStamp& before, const std::string& path);
