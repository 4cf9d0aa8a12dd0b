// The evaluation of one recording: every figure the outputs print, computed once after the
// analysis stages, the store's plain results copied in. The report, the study's tables and its
// pages format it and read nothing else (the check page draws the samples through the one
// sample view, analysis/sample_view.h).
//
// Reads  the store after the analysis stages: tracks[] (sample ranges, counts, MVC, noise
//        levels, work, windows), chewing_cycles[], samples of the cycles (time in ms,
//        Incisal_dist in mm), the run-wide MVC (uV) and the `frequency` header (Hz).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "analysis/balances.h"
#include "analysis/clinical.h"
#include "analysis/findings.h"
#include "analysis/kinematics.h"
#include "protocol/protocol.h"
#include "protocol/records.h"

struct RawFacts;  // analysis/checks.h

// One chewing cycle of the classic count: the figures the cycle table gives and the strokes it
// holds.
struct CycleResult {
  ChewingCycle cycle{};           // opening and closing sample, burst maxima, confirmed
  long long start_time = 0;       // ms, the opening sample's time stamp
  long long end_time = 0;         // ms, the closing sample's time stamp
  __int128 duration_ms = 0;       // end_time - start_time, never overflowing
  int peak = 0;                   // the last sample of the largest incisal distance, start..end
  long long peak_time = 0;        // ms, its time stamp
  long double incisal_max = 0;    // mm, the incisal distance at the peak
  long double end_distance = 0;   // mm, incisal distance at the closing sample
  long double amplitude = 0;      // mm, incisal_max - end_distance
  long double opening_speed = 0;  // mm/s, fastest rise between neighbouring samples
  long double closing_speed = 0;  // mm/s, fastest fall, as a positive number
  // The strokes whose peak lies in start..end, by their number in the trial (1, 2, ..); 0 none.
  int first_stroke = 0, last_stroke = 0;
};

// A summary over all strokes of some trials and, where the recording carries EMG, over those
// the masseters confirmed.
struct StrokeSummaries {
  StrokeSummary all;
  std::optional<StrokeSummary> confirmed;
};

// A chewing trial the recording has, with its classic cycles and its strokes in order and the
// strokes' summary. How many cycles are confirmed is the experiment's chewing_cycles.
struct TrialEvaluation {
  int position = 0;
  std::vector<CycleResult> cycles;
  std::vector<StrokeResult> strokes;
  StrokeSummaries summary;
};

// The header texts of the data file, each as it follows its keyword: line end included, cut to
// 255 characters, empty where the file has no such line.
struct RecordingHeader {
  std::string person, sex, born, creation, frequency;
};

struct ExperimentEvaluation {
  // The experiment's results as the stages stored them; every position of the protocol has
  // them, zeros where the recording lacks the experiment.
  int first_sample = 0, last_sample = 0;  // its samples, both included
  int threshold_crossings = 0;            // upward crossings of the distance threshold
  int chewing_cycles = 0;  // cycles confirmed by masseter activity: every page and table's count
  long double right_max = 0, left_max = 0, incisal_max = 0;  // mm, largest distances
  long double mvc[kChannels] = {}, nl[kChannels] = {};       // uV, its own MVC and noise level
  long double work[kChannels] = {};                          // uV*ms, muscle work
  long double work_uvs[kChannels] = {};  // uVs, microvolt_seconds of the work (derive_figures)
  // Work balances (work_balance) of the masseters and of the temporales, in %; only for the
  // chewing trials, 0 for other experiments and where the sum is not above 0.
  long double masseter_balance = 0, temporalis_balance = 0;
  long double duration_s = 0;                  // sample-index difference / sampling rate
  long double activity_level[kChannels] = {};  // uV: EMG threshold x run-wide MVC + own NL
  EmgWindow mvc_window[kChannels] = {}, nl_window[kChannels] = {};
};

// Per position and channel: the sum of the cycle maxima above 10 x the channel's run-wide MVC,
// divided by that MVC, in ms of activity at MVC level. Positions that are no chewing trial of the
// recording hold 0.
struct MvcCycleWork {
  long double value[kMaxTracks][kChannels] = {};
};

// The index rows, by the number the index tables print.
enum IndexRow {
  kAsymmetryRow = 1,  //  1 work asymmetry index of each muscle pair, %
  kChewingSideRow,    //  2 right- against left-side chewing of each muscle, %
  kMvcRow,            //  3 the larger MVC of the two clenching experiments, uV
  kRightWorkRow,      //  4 mean work of a trial pair, right muscles, uVs
  kLeftWorkRow,       //  5 the same, left muscles
  kMvcAsymmetryRow,   //  6 asymmetry index of the MVC-based cycle work, %
  kMvcRightWorkRow,   //  7 MVC-based cycle work of a pair / 20, right muscles
  kMvcLeftWorkRow,    //  8 the same, left muscles
  kCycleCountRow,     //  9 mean chewing cycles of a pair
  kDurationRow,       // 10 duration of a pair, s
  kFrequencyRow,      // 11 mean chewing frequency of a pair, Hz
  kIndexRowEnd        // one past the last row
};

// The values of index rows 1 to 11, in the order the index tables print them: rows 1 and 4 to 8
// the masseter (or right masseter, left masseter) values for FK, RK, LK and then the temporalis
// ones; rows 2 and 3 one value each for MR, ML, TR, TL; rows 9 to 11 one per condition.
struct IndexValues {
  long double row[kIndexRowEnd][6] = {};  // row[kAsymmetryRow] .. row[kFrequencyRow]; no row 0
  int count[kIndexRowEnd] = {};           // how many values each row has
};

// ---- The classic report's figures, each computed here so that the report only formats ----

// The run summary's computed figures.
struct SummaryFigures {
  long double threshold_share = 0;              // %, (dist_threshold x 100) / run-wide incisal max
  long double emg_threshold_percent = 0;        // %, emg_threshold x 100
  long double threshold_level[kChannels] = {};  // uV, threshold_level of each run-wide MVC
};

// The balance tables: the six chewing trials, the three conditions' means, the totals.
struct BalanceTables {
  BalanceRow trials[kChewingTrials];
  BalanceRow pairs[kConditions];
  BalanceTotals totals;
};

// A row of the evaluation table, from a chewing trial's MVC-based cycle work of the masseters.
struct EvaluationTableRow {
  long double rm = 0, lm = 0, sum = 0;  // right, left, right + left; each cycle work / 10
  long double asymmetry = 0;            // percent_difference of the two cycle works, %
};

// The evaluation table: a row per chewing trial the recording has, and the right_left_balance of
// each masseter's cycle work over the right- and the left-side trials.
struct EvaluationTable {
  std::vector<EvaluationTableRow> rows;
  long double rm_balance = 0, lm_balance = 0;  // %
};

struct Evaluation {
  RecordingHeader header;
  int no_entries = 0;        // samples read
  int calibration_type = 0;  // 0 five points (or no calibration line), 1 three points
  int no_tracks = 0;         // experiments read
  // Run-wide results: MVC (uV, from the clenching experiments), noise level (uV, from the
  // chewing trials), largest distances (mm, from the maximal openings).
  long double run_mvc[kChannels] = {}, run_nl[kChannels] = {};
  long double right_max = 0, left_max = 0, incisal_max = 0;
  int no_experiments = 0;  // experiments of the recording, at most kMaxTracks
  ExperimentEvaluation experiments[kMaxTracks];
  std::vector<TrialEvaluation> trials;  // the chewing trials the recording has, in order
  MvcCycleWork mvc_cycle_work;
  IndexValues indices;
  long double sampling_rate = 0;  // Hz, the `frequency` header's leading number (atof)
  JawFrame frame;
  bool strokes_found = false;  // the positions were kept, so strokes were looked for
  bool emg = false;            // a masseter channel carries a value other than 0
  // The summaries of the conditions whose two trials the recording has.
  std::optional<StrokeSummaries> conditions[kConditions];
  RecordingForm form;             // the points and EMG channels the recording carries
  std::vector<Finding> findings;  // the data checks' findings; only evaluate(.., raw) fills them
  // The clench windows of the positions the caller asked for (evaluate_file), by position; and
  // the clinical measures the study takes with its protocol (analysis/clinical.h).
  std::vector<ClenchWindow> clench_windows;
  std::vector<MovementResult> movements;
  std::vector<ClenchResult> clenches;
  // The classic report's figures (derive_figures).
  SummaryFigures summary_figures;
  BalanceTables balances;
  EvaluationTable evaluation_table;
};

// The sampling frequency in Hz: the leading number of the `frequency` header text as atof reads
// it (0 when there is none), widened.
long double sampling_rate();

// Requires the analysis stages to have run over the recording in the store. `emg_threshold` is
// the fraction of the MVC the EMG stage received, `dist_threshold` (mm) the distance threshold
// cycle recognition received.
Evaluation evaluate(long double emg_threshold, long double dist_threshold);
// The same with the data checks' findings, from the facts gathered before the stages ran.
Evaluation evaluate(long double emg_threshold, long double dist_threshold, const RawFacts& raw);

// The summaries of the strokes of one or more trials; over the confirmed ones only with `emg`.
StrokeSummaries summaries_of(const std::vector<const std::vector<StrokeResult>*>& trials, bool emg);

// The parts of the evaluation that rest on the MVC-based cycle work, for a given table of it.
MvcCycleWork mvc_cycle_work_of(const std::vector<TrialEvaluation>& trials);

// ---- The classic report's figures, from the evaluation's plain results ----

// The index rows, from the experiments' work, MVC, cycle counts and sample ranges, the sampling
// rate and the MVC-based cycle work.
IndexValues index_values(const Evaluation& evaluation);
// The summary's figures, from the run-wide MVC and incisal maximum.
SummaryFigures summary_figures_of(const Evaluation& evaluation, long double emg_threshold,
                                  long double dist_threshold);
// The balance tables, from the six chewing trials' threshold crossings and work (every position
// of them, present or not).
BalanceTables balance_tables_of(const Evaluation& evaluation);
// The evaluation table, from the MVC-based cycle work and the number of experiments.
EvaluationTable evaluation_table_of(const Evaluation& evaluation);
// Everything the evaluation derives from its plain results and its MVC-based cycle work: each
// experiment's work in uVs, and for those the recording has their duration, activity levels and
// (chewing trials) work balances; then the index rows, the summary's figures, the balance
// tables and the evaluation table.
void derive_figures(Evaluation& evaluation, long double emg_threshold, long double dist_threshold);
