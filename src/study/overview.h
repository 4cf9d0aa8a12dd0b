// The study's overview page, index.html beside the check pages: a row per recording in input
// order with its status and key figures, the values far from the study's median marked, and a
// strip plot per key figure, so an odd recording stands out among many.
//
// The key figures are read from the recording's rows of the study's tables, by one mapping
// whatever wrote the rows: a study takes them in the process that evaluated the recording and
// hands them on as a line of text (the recordings may be evaluated in other processes);
// `chew_study merge --pages` takes them from the joined tables.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "analysis/evaluation.h"
#include "pipeline/settings.h"
#include "protocol/protocol.h"
#include "study/evaluate.h"
#include "study/inputs.h"
#include "study/protocol_file.h"

// Robust z-scores over the study: z = (x - median) / scale with
//   scale = 1.4826 x MAD, MAD = median of |x_i - median|        (1.4826 MAD estimates the SD of
//   normally distributed values), or, when MAD is 0 (more than half the values are equal),
//   scale = 1.2533 x the mean of |x_i - median|                 (likewise, for the mean deviation);
//   when that too is 0, every value equals the median and z = 0.
constexpr long double kMadToSd = 1.4826L;
constexpr long double kMeanDeviationToSd = 1.2533L;
// A value with |z| above this is marked.
constexpr long double kOutlierZ = 3.5L;

struct RobustScale {
  long double median = 0;
  long double scale = 0;  // 0 when every value equals the median (or there is none)
};
// Over the finite values; the others are left out.
RobustScale robust_scale(const std::vector<long double>& values);
long double robust_z(long double value, const RobustScale& scale);

// One key figure of the overview: its group (one strip plot each) and its label in the group.
struct KeyFigure {
  int group;
  std::string label;  // e.g. "mr", "FK1", "RK"
};
struct KeyFigureGroup {
  const char* name;
  const char* unit;  // as the page writes it; empty for a count
  int decimals;      // as the table shows the values
};
extern const std::vector<KeyFigureGroup> kKeyFigureGroups;
// Every key figure, in the table's column order.
const std::vector<KeyFigure>& key_figures();

// A recording's key figures, in key_figures() order; absent where the recording has no such
// value (a channel or trial it lacks, an MVC or noise level for which no window qualified, a
// value without digits). The page shows an absent value, or one that is not finite, as a dash.
using KeyValues = std::vector<std::optional<long double>>;

// A recording's rows of six of the study's tables, each as the table's header followed by the
// recording's records.
struct RecordingRows {
  std::string experiments, indices, trials, runs, movements, clenches;
};

// The figures from the rows (the columns README's "The study overview" names):
//   MVC          the largest *_mvc_uV of experiments 1 and 2, where it is above 0 (an MVC
//                window qualified: its mean is above 0, the evaluator's start value);
//   noise level  the smallest *_noise_uV of experiments 13 to 18, where it is below 1000 (a
//                noise-level window qualified, kNoNoiseLevel being the start value);
//   cycles       chewing_cycles of experiments 13 to 18;
//   chewing frequency, duration, asymmetry index  indices 11, 10 and 1 (M, T) of a condition
//                that has its trials.csv row (both its trials), the frequency only where runs.csv
//                has a sampling rate above 0;
//   side preference  side_preference_pct of the condition's trials.csv row over all strokes;
//   border movements  from movements.csv by role: the largest opening_mm of the max_opening
//                rows, the lateral_mm of largest magnitude of the laterotrusion_right rows and of
//                the laterotrusion_left rows, the largest protrusion_mm of the protrusion rows;
//   clench indices  the mean of poc_masseter_pct, poc_temporalis_pct, torque_pct and
//                activity_pct over the clenches.csv rows of role clench that have the value.
KeyValues key_values(const RecordingRows& rows);

// The same through the rows the tables get of the recording's evaluation; the protocol gives
// the movements' and clenches' roles.
KeyValues key_values(const Evaluation& evaluation,
                     const LabProtocol& protocol = builtin_protocol());

// The values as one line of text and back, exactly (hexadecimal floating point).
std::string key_values_text(const KeyValues& values);
KeyValues key_values_from_text(const std::string& text);

// What the page shows of one recording.
struct OverviewRow {
  std::string file;    // the recording's path as given
  std::string report;  // its report's path from the page's folder; empty: not linked
  std::string page;    // its check page's path from the page's folder; empty: not linked
  bool ok = false;
  std::string status;  // "ok" or why it failed
  int errors = 0, warnings = 0;
  KeyValues values;  // empty for a failed recording
};

// The row of a recording the study evaluated.
OverviewRow overview_row(const Recording& recording, const RecordingTables& tables);

// The rows of the recordings of a study's tables (`tables` each whole: header and records),
// whose reports and check pages lie in `folder`, which the page reaches as `link_prefix` (ending
// in '/', or empty for its own folder). A report or page missing from `folder` is not linked;
// `missing` counts them.
struct StudyTables {
  std::string runs, experiments, indices, trials, movements, clenches;
};
std::vector<OverviewRow> overview_rows(const StudyTables& tables, const std::string& folder,
                                       const std::string& link_prefix, int* missing);

// The settings and the version of the first row of a runs.csv (whole); defaults and kVersion
// without a row.
Settings settings_of_runs(const std::string& runs, std::string* version);

// The page as text; `date` is shown in its header, `version` as the evaluator's.
std::string overview_page(const std::vector<OverviewRow>& rows, const Settings& settings,
                          const std::string& date, const std::string& version = kVersion);

// Writes the page as index.html into `folder`; an empty text when it is written, else why not.
std::string write_overview_page(const std::string& folder, const std::vector<OverviewRow>& rows,
                                const Settings& settings, const std::string& version = kVersion);
