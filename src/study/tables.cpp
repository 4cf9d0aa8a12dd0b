#include "study/tables.h"

#include <vector>

#include "protocol/protocol.h"
#include "study/csv.h"

namespace {

// "mr_<quantity>", ... "tl_<quantity>".
std::vector<std::string> per_channel(const std::string& quantity) {
  std::vector<std::string> names;
  for (const char* prefix : kChannelKeys) names.push_back(std::string(prefix) + "_" + quantity);
  return names;
}

std::vector<std::string> joined(std::vector<std::vector<std::string>> parts) {
  std::vector<std::string> all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

}  // namespace

std::string experiments_header() {
  return csv_header(joined(
      {{"file", "experiment", "trial", "first_sample", "last_sample", "duration_s",
        "threshold_crossings", "chewing_cycles", "right_max_mm", "left_max_mm", "incisal_max_mm"},
       per_channel("mvc_uV"),
       per_channel("noise_uV"),
       per_channel("work_uVs"),
       per_channel("mvc_cycle_work_ms"),
       {"masseter_balance_pct", "temporalis_balance_pct"}}));
}

std::string experiment_rows(const std::string& file, const Evaluation& evaluation) {
  const int channels = evaluation.form.emg_channels;
  std::string rows;
  for (int k = 0; k < evaluation.no_experiments; ++k) {
    const ExperimentEvaluation& x = evaluation.experiments[k];
    const bool chewing = k >= kFirstChewingTrial;
    CsvRow row;
    row.add(file).add(k + 1).add(trial_label(k)).add(x.first_sample).add(x.last_sample);
    row.add(x.duration_s);  // the index tables' trial length
    row.add(x.threshold_crossings);
    chewing ? row.add(x.chewing_cycles) : row.empty();        // counted from experiment 13 on
    row.add(x.right_max).add(x.left_max).add(x.incisal_max);  // every form tracks these points
    for (int c = 0; c < kChannels; ++c) c < channels ? row.add(x.mvc[c]) : row.empty();
    for (int c = 0; c < kChannels; ++c) c < channels ? row.add(x.nl[c]) : row.empty();
    for (int c = 0; c < kChannels; ++c)  // uVs, as shown
      c < channels ? row.add(x.work[c] / kMicrovoltMsPerMicrovoltS) : row.empty();
    for (int c = 0; c < kChannels; ++c)
      (chewing && c < channels) ? row.add(evaluation.mvc_cycle_work.value[k][c]) : row.empty();
    chewing ? row.add(x.masseter_balance) : row.empty();
    (chewing && channels == kChannels) ? row.add(x.temporalis_balance) : row.empty();
    rows += row.str();
  }
  return rows;
}

namespace {

class IndexRows {
 public:
  explicit IndexRows(const std::string& file) : file_(file) {}
  // `carried`: the recording carries a channel the value is built from.
  void add(int index, const char* name, const char* muscle, const char* condition,
           long double value, bool carried, const char* unit) {
    CsvRow row;
    row.add(file_).add(index).add(name).add(muscle).add(condition);
    carried ? row.add(value) : row.empty();
    rows_ += row.add(unit).str();
  }
  const std::string& str() const { return rows_; }

 private:
  const std::string& file_;
  std::string rows_;
};

}  // namespace

std::string indices_header() {
  return csv_header({"file", "index", "name", "muscle", "condition", "value", "unit"});
}

// Whether the recording carries a channel of `muscle` (M, T, MR, ML, TR, TL, or none).
bool carries(const char* muscle, const RecordingForm& form) {
  return muscle[0] != 'T' || form.emg_channels == kChannels;
}

std::string index_rows(const std::string& file, const IndexValues& values,
                       const RecordingForm& form) {
  // Each row's values in the report's order, with the muscle and condition each one stands for.
  struct Layout {
    const char* name;
    const char* muscle[6];
    const char* condition[6];
    const char* unit;
  };
  static const Layout kLayout[kIndexRowEnd] = {
      {},
      {"mikroVolt_AI", {"M", "M", "M", "T", "T", "T"}, {"FK", "RK", "LK", "FK", "RK", "LK"}, "%"},
      {"mikroVolt_DCI", {"MR", "ML", "TR", "TL"}, {"", "", "", ""}, "%"},
      {"mikroVolt_MVC", {"MR", "ML", "TR", "TL"}, {"", "", "", ""}, "uV"},
      {"mikroVolt_MuscleWork_re",
       {"MR", "MR", "MR", "TR", "TR", "TR"},
       {"FK", "RK", "LK", "FK", "RK", "LK"},
       "uVs"},
      {"mikroVolt_MuscleWork_li",
       {"ML", "ML", "ML", "TL", "TL", "TL"},
       {"FK", "RK", "LK", "FK", "RK", "LK"},
       "uVs"},
      {"MVCbased_AI", {"M", "M", "M", "T", "T", "T"}, {"FK", "RK", "LK", "FK", "RK", "LK"}, "%"},
      // The mean of the two trials divided by 10: a value of 1 stands for 10 ms at MVC level.
      {"MVCbased_MuscleWork_re",
       {"MR", "MR", "MR", "TR", "TR", "TR"},
       {"FK", "RK", "LK", "FK", "RK", "LK"},
       "10 ms"},
      {"MVCbased_Musclework_li",
       {"ML", "ML", "ML", "TL", "TL", "TL"},
       {"FK", "RK", "LK", "FK", "RK", "LK"},
       "10 ms"},
      {"AnzahlKauzyklen", {"", "", ""}, {"FK", "RK", "LK"}, "cycles"},
      {"DauerKausequenz", {"", "", ""}, {"FK", "RK", "LK"}, "s"},
      {"Kaufrequenz", {"", "", ""}, {"FK", "RK", "LK"}, "Hz"},
  };
  IndexRows rows(file);
  for (int index = kAsymmetryRow; index < kIndexRowEnd; ++index) {
    const Layout& layout = kLayout[index];
    for (int k = 0; k < values.count[index]; ++k)
      rows.add(index, layout.name, layout.muscle[k], layout.condition[k], values.row[index][k],
               carries(layout.muscle[k], form), layout.unit);
  }
  return rows.str();
}

std::string cycles_header() {
  return csv_header(joined(
      {{"file", "experiment", "trial", "cycle", "start_sample", "end_sample", "start_time_ms",
        "end_time_ms", "duration_ms", "incisal_max_mm", "end_distance_mm", "amplitude_mm",
        "opening_speed_mm_per_s", "closing_speed_mm_per_s"},
       per_channel("burst_max_uVms"),
       {"confirmed", "peak_sample", "peak_time_ms", "opening_ms", "closing_ms", "occlusal_ms",
        "vertical_mm", "lateral_mm", "ap_mm", "path_mm", "peak_opening_speed_mm_per_s",
        "peak_closing_speed_mm_per_s", "side_kinematic", "side_emg"}}));
}

namespace {

// A side letter, or an empty field for none.
std::string side_text(char side) { return side == 0 ? "" : std::string(1, side); }

// The kinematics' columns; the closing phase is the cycle's duration.
void add_kinematics(CsvRow& row, const CycleResult& cycle) {
  if (!cycle.kinematics) {
    for (int n = 0; n < 13; ++n) row.empty();  // no jaw frame: no kinematics
    return;
  }
  const CycleKinematics* k = &*cycle.kinematics;
  row.add(cycle.peak).add(cycle.peak_time).add(k->opening_ms).add(cycle.duration_ms);
  row.add(k->occlusal_ms);
  row.add(k->vertical_mm).add(k->lateral_mm).add(k->ap_mm).add(k->path_mm);
  row.add(k->peak_opening_speed).add(k->peak_closing_speed);
  row.add(side_text(k->side_kinematic)).add(side_text(k->side_emg));
}

}  // namespace

std::string cycle_rows(const std::string& file, const Evaluation& evaluation) {
  const int channels = evaluation.form.emg_channels;
  std::string rows;
  for (const TrialEvaluation& trial : evaluation.trials) {
    const int k = trial.position;
    int number = 0;
    for (const CycleResult& figures : trial.cycles) {
      const ChewingCycle& cycle = figures.cycle;
      CsvRow row;
      row.add(file).add(k + 1).add(trial_label(k)).add(++number);
      row.add(cycle.start).add(cycle.end).add(figures.start_time).add(figures.end_time);
      row.add(figures.duration_ms);
      row.add(figures.incisal_max).add(figures.end_distance).add(figures.amplitude);
      row.add(figures.opening_speed).add(figures.closing_speed);
      for (int c = 0; c < kChannels; ++c) c < channels ? row.add(cycle.burst_max[c]) : row.empty();
      row.add(cycle.confirmed ? 1 : 0);
      add_kinematics(row, figures);
      rows += row.str();
    }
  }
  return rows;
}

std::string runs_header() {
  return csv_header({"file",
                     "status",
                     "report",
                     "samples",
                     "experiments",
                     "calibration_type",
                     "skipped_lines",
                     "sampling_rate_Hz",
                     "rms_time_ms",
                     "mvc_time_ms",
                     "nl_time_ms",
                     "emg_threshold",
                     "dist_threshold_mm",
                     "version",
                     "points",
                     "emg_channels",
                     "warnings",
                     "errors",
                     "emg_threshold_given_pct",
                     "dist_threshold_given_mm"});
}

std::string run_row(const RunFacts& facts, const Settings& s, const GivenSettings& given) {
  CsvRow row;
  row.add(facts.file).add(facts.status).add(facts.report);
  if (facts.read) {
    row.add(facts.samples)
        .add(facts.experiments)
        .add(facts.calibration_type)
        .add(facts.skipped_lines)
        .add(facts.sampling_rate);
  } else {
    row.empty().empty().empty().empty().empty();
  }
  row.add(s.rms_time).add(s.mvc_time).add(s.nl_time);
  row.add(s.emg_threshold).add(s.dist_threshold);  // the fraction of MVC the stages receive; mm
  row.add(kVersion);
  facts.read ? row.add(facts.form.points).add(facts.form.emg_channels) : row.empty().empty();
  facts.checked ? row.add(facts.warnings).add(facts.errors) : row.empty().empty();
  row.add(given.emg_threshold_pct).add(given.dist_threshold_mm);
  return row.str();
}

std::string findings_header() {
  return csv_header({"file", "check", "severity", "experiment", "trial", "channel", "value",
                     "limit", "unit", "message"});
}

std::string finding_rows(const std::string& file, const std::vector<Finding>& findings) {
  std::string rows;
  for (const Finding& finding : findings) {
    const CheckRule& rule = rule_of(finding.check);
    CsvRow row;
    row.add(file).add(rule.name).add(severity_name(rule.severity));
    if (finding.experiment > 0) {
      row.add(finding.experiment).add(trial_label(finding.experiment - 1));
    } else {
      row.empty().empty();
    }
    row.add(finding.channel).add(finding.value).add(finding.limit).add(rule.unit);
    rows += row.add(finding.message).str();
  }
  return rows;
}

std::string trials_header() {
  std::vector<std::string> columns = {"file", "trial", "cycles", "confirmed"};
  // Each quantity with its unit (mean and SD) and its coefficient of variation (per cent).
  const char* const quantities[][2] = {{"closing_ms", "closing"},
                                       {"opening_ms", "opening"},
                                       {"vertical_mm", "vertical"},
                                       {"lateral_abs_mm", "lateral_abs"},
                                       {"peak_closing_speed_mm_per_s", "peak_closing_speed"}};
  for (const auto& [with_unit, stem] : quantities) {
    columns.push_back(std::string(with_unit) + "_mean");
    columns.push_back(std::string(with_unit) + "_sd");
    columns.push_back(std::string(stem) + "_cv_pct");
  }
  for (const char* column : {"side_right", "side_left", "side_central", "side_preference_pct",
                             "side_agreement_pct", "side_switch_rate"})
    columns.push_back(column);
  return csv_header(columns);
}

namespace {

std::string summary_row(const std::string& file, const std::string& trial, int cycles,
                        int confirmed, const KinematicSummary* s) {
  CsvRow row;
  row.add(file).add(trial).add(cycles).add(confirmed);
  if (s == nullptr) {
    for (int n = 0; n < 5 * 3 + 6; ++n) row.empty();  // no jaw frame: no kinematics
    return row.str();
  }
  for (const Spread* spread : {&s->closing_ms, &s->opening_ms, &s->vertical_mm, &s->lateral_abs_mm,
                               &s->peak_closing_speed})
    row.add(spread->mean).add(spread->sd).add(spread->cv_pct);
  row.add(s->side_right).add(s->side_left).add(s->side_central);
  row.add(s->side_preference_pct).add(s->side_agreement_pct).add(s->side_switch_rate);
  return row.str();
}

}  // namespace

std::string trial_rows(const std::string& file, const Evaluation& evaluation) {
  const bool kinematics = evaluation.frame.valid;
  std::string rows;
  for (const TrialEvaluation& trial : evaluation.trials) {
    rows += summary_row(file, trial_label(trial.position), static_cast<int>(trial.cycles.size()),
                        evaluation.experiments[trial.position].chewing_cycles,
                        kinematics ? &trial.summary : nullptr);
  }
  for (Condition c : kAllConditions) {
    const std::size_t first = static_cast<std::size_t>(first_trial_of(c) - kFirstChewingTrial);
    if (first + 1 >= evaluation.trials.size()) continue;  // the recording lacks a trial of it
    const TrialEvaluation& a = evaluation.trials[first];
    const TrialEvaluation& b = evaluation.trials[first + 1];
    const int confirmed = evaluation.experiments[a.position].chewing_cycles +
                          evaluation.experiments[b.position].chewing_cycles;
    rows +=
        summary_row(file, kConditionLabels[c], static_cast<int>(a.cycles.size() + b.cycles.size()),
                    confirmed, kinematics ? &*evaluation.conditions[c] : nullptr);
  }
  return rows;
}
