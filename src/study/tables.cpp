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

// Whether the recording carries a channel of `muscle` (M, T, MR, ML, TR, TL), or the value is
// no muscle's (an empty name).
bool carries(const char* muscle, const RecordingForm& form) {
  if (muscle[0] == 0) return true;
  return form.emg_channels == kChannels || (form.emg_channels > 0 && muscle[0] != 'T');
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
  return csv_header(
      joined({{"file", "experiment", "trial", "cycle", "start_sample", "end_sample",
               "start_time_ms", "end_time_ms", "duration_ms", "incisal_max_mm", "end_distance_mm",
               "amplitude_mm", "opening_speed_mm_per_s", "closing_speed_mm_per_s"},
              per_channel("burst_max_uVms"),
              {"confirmed", "first_stroke", "last_stroke"}}));
}

namespace {

// A side letter, or an empty field for none.
std::string side_text(char side) { return side == 0 ? "" : std::string(1, side); }

std::string sequencing_text(char sequencing) {
  return sequencing == 'N' ? "normal" : sequencing == 'R' ? "reversed" : "";
}

// A stroke number, or an empty field for none.
void add_stroke_number(CsvRow& row, int number) { number > 0 ? row.add(number) : row.empty(); }

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
      add_stroke_number(row, figures.first_stroke);
      add_stroke_number(row, figures.last_stroke);
      rows += row.str();
    }
  }
  return rows;
}

std::string strokes_header() {
  return csv_header({"file",
                     "experiment",
                     "trial",
                     "stroke",
                     "opening_start_sample",
                     "peak_sample",
                     "occlusion_sample",
                     "next_start_sample",
                     "opening_start_time_ms",
                     "peak_time_ms",
                     "occlusion_time_ms",
                     "opening_ms",
                     "closing_ms",
                     "occlusal_ms",
                     "cycle_ms",
                     "opening_mm",
                     "vertical_mm",
                     "lateral_mm",
                     "ap_mm",
                     "path_mm",
                     "peak_opening_speed_mm_per_s",
                     "peak_closing_speed_mm_per_s",
                     "closing_angle_deg",
                     "frontal_area_mm2",
                     "sequencing",
                     "side_kinematic",
                     "side_emg",
                     "emg_confirmed",
                     "cycle"});
}

std::string stroke_rows(const std::string& file, const Evaluation& evaluation) {
  std::string rows;
  for (const TrialEvaluation& trial : evaluation.trials) {
    const int k = trial.position;
    int number = 0;
    for (const StrokeResult& s : trial.strokes) {
      CsvRow row;
      row.add(file).add(k + 1).add(trial_label(k)).add(++number);
      row.add(s.opening_start).add(s.peak).add(s.occlusion);
      s.next_start >= 0 ? row.add(s.next_start) : row.empty();
      row.add(s.opening_start_time).add(s.peak_time).add(s.occlusion_time);
      row.add(s.opening_ms).add(s.closing_ms).add(s.occlusal_ms).add(s.cycle_ms);
      row.add(s.opening_mm);
      if (s.shape) {
        row.add(s.shape->vertical_mm).add(s.shape->lateral_mm).add(s.shape->ap_mm);
      } else {
        row.empty().empty().empty();  // no jaw frame
      }
      row.add(s.path_mm).add(s.peak_opening_speed).add(s.peak_closing_speed);
      if (s.shape) {
        row.add(s.shape->closing_angle_deg).add(s.shape->frontal_area_mm2);
        row.add(sequencing_text(s.shape->sequencing)).add(side_text(s.shape->side_kinematic));
      } else {
        row.empty().empty().empty().empty();
      }
      row.add(side_text(s.side_emg));
      s.emg_confirmed ? row.add(*s.emg_confirmed ? 1 : 0) : row.empty();
      add_stroke_number(row, s.cycle);
      rows += row.str();
    }
  }
  return rows;
}

std::string movements_header() {
  return csv_header({"file", "experiment", "task", "role", "opening_mm", "lateral_mm",
                     "protrusion_mm", "deviation_mm", "deflection_mm"});
}

std::string movement_rows(const std::string& file, const Evaluation& evaluation,
                          const LabProtocol& protocol) {
  std::string rows;
  for (const MovementResult& m : evaluation.movements) {
    CsvRow row;
    row.add(file).add(m.position + 1).add(protocol.task[m.position]);
    row.add(role_name(protocol.role[m.position]));
    row.add(m.opening_mm).add(m.lateral_mm).add(m.protrusion_mm);
    rows += row.add(m.deviation_mm).add(m.deflection_mm).str();
  }
  return rows;
}

std::string clenches_header() {
  return csv_header({"file", "experiment", "task", "role", "window_first_sample",
                     "window_last_sample", "standardized", "poc_masseter_pct", "poc_temporalis_pct",
                     "torque_pct", "activity_pct", "asymmetry_masseter_pct",
                     "asymmetry_temporalis_pct", "impact_pct_s"});
}

std::string clench_rows(const std::string& file, const Evaluation& evaluation,
                        const LabProtocol& protocol) {
  std::string rows;
  for (const ClenchResult& c : evaluation.clenches) {
    CsvRow row;
    row.add(file).add(c.position + 1).add(protocol.task[c.position]);
    row.add(role_name(protocol.role[c.position]));
    c.found ? row.add(c.first).add(c.last) : row.empty().empty();
    row.add(c.standardized ? 1 : 0);
    row.add(c.poc_masseter).add(c.poc_temporalis).add(c.torque).add(c.activity);
    rows += row.add(c.asymmetry_masseter).add(c.asymmetry_temporalis).add(c.impact).str();
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
                     "dist_threshold_given_mm",
                     "protocol",
                     "protocol_sha256"});
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
  row.add(given.protocol.name).add(given.protocol.sha256);
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

namespace {

// The summarised quantities: each with its unit (mean and SD) and its coefficient of variation
// (per cent).
struct SummaryQuantity {
  const char* with_unit;
  const char* stem;
  Spread StrokeSummary::*spread;
};
constexpr SummaryQuantity kSummaryQuantities[] = {
    {"opening_ms", "opening", &StrokeSummary::opening_ms},
    {"closing_ms", "closing", &StrokeSummary::closing_ms},
    {"occlusal_ms", "occlusal", &StrokeSummary::occlusal_ms},
    {"cycle_ms", "cycle", &StrokeSummary::cycle_ms},
    {"vertical_mm", "vertical", &StrokeSummary::vertical_mm},
    {"lateral_abs_mm", "lateral_abs", &StrokeSummary::lateral_abs_mm},
    {"peak_opening_speed_mm_per_s", "peak_opening_speed", &StrokeSummary::peak_opening_speed},
    {"peak_closing_speed_mm_per_s", "peak_closing_speed", &StrokeSummary::peak_closing_speed}};

}  // namespace

std::string trials_header() {
  std::vector<std::string> columns = {"file",   "trial",     "stroke_set",
                                      "cycles", "confirmed", "strokes"};
  for (const SummaryQuantity& q : kSummaryQuantities) {
    columns.push_back(std::string(q.with_unit) + "_mean");
    columns.push_back(std::string(q.with_unit) + "_sd");
    columns.push_back(std::string(q.stem) + "_cv_pct");
  }
  for (const char* column :
       {"stroke_frequency_Hz", "side_right", "side_left", "side_central", "side_preference_pct",
        "side_agreement_pct", "side_switch_rate", "reversed_pct"})
    columns.push_back(column);
  return csv_header(columns);
}

namespace {

std::string summary_row(const std::string& file, const std::string& trial, const char* set,
                        int cycles, int confirmed, const StrokeSummary& s) {
  CsvRow row;
  row.add(file).add(trial).add(set).add(cycles).add(confirmed).add(s.strokes);
  for (const SummaryQuantity& q : kSummaryQuantities) {
    const Spread& spread = s.*q.spread;
    row.add(spread.mean).add(spread.sd).add(spread.cv_pct);
  }
  row.add(s.frequency_hz);
  row.add(s.side_right).add(s.side_left).add(s.side_central);
  row.add(s.side_preference_pct).add(s.side_agreement_pct).add(s.side_switch_rate);
  row.add(s.reversed_pct);
  return row.str();
}

std::string summary_rows(const std::string& file, const std::string& trial, int cycles,
                         int confirmed, const StrokeSummaries& s) {
  std::string rows = summary_row(file, trial, "all", cycles, confirmed, s.all);
  if (s.confirmed)
    rows += summary_row(file, trial, "emg_confirmed", cycles, confirmed, *s.confirmed);
  return rows;
}

}  // namespace

std::string trial_rows(const std::string& file, const Evaluation& evaluation) {
  if (!evaluation.strokes_found) return "";
  std::string rows;
  for (const TrialEvaluation& trial : evaluation.trials) {
    rows += summary_rows(file, trial_label(trial.position), static_cast<int>(trial.cycles.size()),
                         evaluation.experiments[trial.position].chewing_cycles, trial.summary);
  }
  for (Condition c : kAllConditions) {
    if (!evaluation.conditions[c]) continue;  // the recording lacks a trial of it
    const std::size_t first = static_cast<std::size_t>(first_trial_of(c) - kFirstChewingTrial);
    const TrialEvaluation& a = evaluation.trials[first];
    const TrialEvaluation& b = evaluation.trials[first + 1];
    const int confirmed = evaluation.experiments[a.position].chewing_cycles +
                          evaluation.experiments[b.position].chewing_cycles;
    rows +=
        summary_rows(file, kConditionLabels[c], static_cast<int>(a.cycles.size() + b.cycles.size()),
                     confirmed, *evaluation.conditions[c]);
  }
  return rows;
}
