// The study's tables: experiments.csv, indices.csv, cycles.csv, strokes.csv, trials.csv,
// movements.csv, clenches.csv, runs.csv and findings.csv. Every row holds values the evaluator
// computes for its report, at full precision; a value of a channel the recording does not carry is
// an empty field.
//
// Reads  the recording's evaluation, and what runs.csv says about the recording.
#pragma once

#include <string>
#include <vector>

#include "analysis/evaluation.h"
#include "pipeline/settings.h"
#include "study/protocol_file.h"

// The tables' file names in the study's output folder.
constexpr char kExperimentsTable[] = "experiments.csv";
constexpr char kIndicesTable[] = "indices.csv";
constexpr char kCyclesTable[] = "cycles.csv";
constexpr char kStrokesTable[] = "strokes.csv";
constexpr char kMovementsTable[] = "movements.csv";
constexpr char kClenchesTable[] = "clenches.csv";
constexpr char kTrialsTable[] = "trials.csv";
constexpr char kRunsTable[] = "runs.csv";
constexpr char kFindingsTable[] = "findings.csv";
constexpr const char* kTables[] = {kExperimentsTable, kIndicesTable, kCyclesTable,
                                   kStrokesTable,     kTrialsTable,  kMovementsTable,
                                   kClenchesTable,    kRunsTable,    kFindingsTable};

std::string experiments_header();
std::string indices_header();
std::string cycles_header();
std::string strokes_header();
std::string movements_header();
std::string clenches_header();
std::string trials_header();
std::string runs_header();
std::string findings_header();

// One row per experiment of the recording.
std::string experiment_rows(const std::string& file, const Evaluation& evaluation);

// The eleven numbered indices of the report's index tables, one row per value.
std::string index_rows(const std::string& file, const IndexValues& values,
                       const RecordingForm& form);

// One row per chewing cycle of experiments 13 to 18.
std::string cycle_rows(const std::string& file, const Evaluation& evaluation);

// One row per chewing stroke of experiments 13 to 18.
std::string stroke_rows(const std::string& file, const Evaluation& evaluation);

// One row per experiment with a border-movement role, and one per experiment with a clench
// role, in the lab's protocol: the evaluation's movements and clenches.
std::string movement_rows(const std::string& file, const Evaluation& evaluation,
                          const LabProtocol& protocol);
std::string clench_rows(const std::string& file, const Evaluation& evaluation,
                        const LabProtocol& protocol);

// One row per chewing trial the recording has, then one per condition whose two trials it has,
// each over all strokes and, where the recording carries EMG, again over the confirmed ones.
std::string trial_rows(const std::string& file, const Evaluation& evaluation);

// What runs.csv says about one recording.
struct RunFacts {
  std::string file;
  std::string status;   // "ok" or why the recording failed
  std::string report;   // report file name; empty when none was written
  bool read = false;    // the reader ran: the counts below mean something
  int samples = 0;      // no_entries
  int experiments = 0;  // no_tracks
  int calibration_type = 0;
  int skipped_lines = 0;
  long double sampling_rate = 0;  // Hz, the `frequency` header as the index tables read it
  RecordingForm form;             // meaningful when `read`
  bool checked = false;           // the data checks ran: the counts below mean something
  int warnings = 0, errors = 0;   // findings of each severity
};

// The thresholds as the user gave them, in their units, written as plain decimals ("3", "2.5"):
// what runs.csv records beside the values used and what merge compares. The defaults' when not
// given. Likewise the lab's protocol (--protocol), the built-in one when none is given.
struct GivenSettings {
  std::string emg_threshold_pct = "3";
  std::string dist_threshold_mm = "3";
  LabProtocol protocol = builtin_protocol();
};

std::string run_row(const RunFacts& facts, const Settings& settings, const GivenSettings& given);

// One row per finding of the data checks.
std::string finding_rows(const std::string& file, const std::vector<Finding>& findings);
