#include "analysis/checks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>

#include "analysis/evaluation.h"
#include "analysis/kinematics.h"
#include "protocol/lab_protocol.h"
#include "protocol/protocol.h"

namespace {

constexpr long double kEmgCeiling_uV = 5000;
// ms each part of an experiment must span for rate_change (and the experiment for
// experiment_rate): whole-millisecond stamps put each rate off by at most 1 ms over the span.
constexpr long double kMinRatePart_ms = 500;
// Every check's name, severity and limit, in one place. The README's "Data checks" section
// explains each; change a limit here and there.
constexpr CheckRule kRules[kChecks] = {
    // Without one every position is measured from 0 and lines are read in the five-point form.
    {Check::no_calibration, "no_calibration", Severity::error, 1, "lines"},
    // mm the calibrated points must lie apart, and the incisal point off the right-left line:
    // closer, they give no jaw frame, and an all-zero line is no calibration at all.
    {Check::calibration_degenerate, "calibration_degenerate", Severity::error, 1, "mm"},
    // The maximal openings give the jaw's opening axis; a shorter opening across the lateral axis
    // gives no direction, and the plane of the calibrated points has to stand in for it.
    {Check::jaw_frame_from_plane, "jaw_frame_from_plane", Severity::warning, kFlatOpening_mm, "mm"},
    // The last calibration line is the reference of every sample, also of those read before it,
    // which were read in the form in force then: an edited or joined file.
    {Check::calibration_after_samples, "calibration_after_samples", Severity::warning, 0,
     "samples"},
    // One recording has one form: a sample line of another (one cut short in its last number
    // reads as two channels) turns the whole recording into that form.
    {Check::mixed_forms, "mixed_forms", Severity::error, 0, "lines"},
    // The protocol has 18 experiments; a missing one reads as zeros in every table.
    {Check::missing_experiments, "missing_experiments", Severity::error, kMaxTracks, "experiments"},
    // Two experiments with the same samples: one was copied in place of another.
    {Check::duplicate_experiment, "duplicate_experiment", Severity::error, 0, "experiment"},
    // Per cent of the other chewing trials' median length the last one must reach: a file cut
    // inside its last trial reads as a short trial, whose counts and frequencies are wrong.
    {Check::last_trial_short, "last_trial_short", Severity::error, 50, "%"},
    // Samples before the first time stamp 0 belong to no experiment: a cut or joined file.
    {Check::samples_before_first_experiment, "samples_before_first_experiment", Severity::warning,
     0, "samples"},
    // A damaged line loses its sample silently.
    {Check::skipped_lines, "skipped_lines", Severity::warning, 0, "lines"},
    // Durations and chewing frequencies divide by the header's rate.
    {Check::no_sampling_rate, "no_sampling_rate", Severity::error, 0, "Hz"},
    // Per cent the header's rate may differ from the time stamps' own: clock tolerances and
    // whole-millisecond stamps stay far below; beyond it durations and frequencies are as far off.
    {Check::sampling_rate, "sampling_rate", Severity::warning, 5, "%"},
    // The same per experiment: one experiment at another rate than the header (or the others)
    // has durations and frequencies off by as much.
    {Check::experiment_rate, "experiment_rate", Severity::error, 5, "%"},
    // Per cent the rate may change between the parts of one experiment; whole-millisecond stamps
    // and timer jitter stay below it over parts of at least kMinRatePart_ms.
    {Check::rate_change, "rate_change", Severity::error, 10, "%"},
    // Windows, burst integrals and speeds all assume time stamps that rise.
    {Check::time_order, "time_order", Severity::error, 0, "steps"},
    // Time steps, in the recording's own median step, a gap may last: lost samples shorten
    // every window and integral across the gap.
    {Check::time_gap, "time_gap", Severity::warning, 10, "ms"},
    // A NaN or infinity spreads through every window, maximum and sum it enters.
    {Check::non_finite, "non_finite", Severity::error, 0, "values"},
    // Finite raw values can still give NaN or infinite results (positions so large their squares
    // overflow): a table cell that is not a number.
    {Check::non_finite_result, "non_finite_result", Severity::error, 0, "values"},
    // A channel without any variation carries no signal: a loose or missing electrode.
    {Check::emg_flat, "emg_flat", Severity::error, 0, "uV"},
    // Samples in a row at the channel's largest magnitude: the amplifier or converter saturated,
    // so MVC, bursts and work are cut off. Real EMG at its peak does not stay put that long.
    {Check::emg_clipping, "emg_clipping", Severity::warning, 5, "samples"},
    // uV no surface EMG reaches: its amplitude stays within +-5000 uV (Konrad, The ABC of EMG,
    // 2005). Beyond it an electrode popped or a value is damaged, and the MVC takes it in.
    {Check::emg_ceiling, "emg_ceiling", Severity::error, kEmgCeiling_uV, "uV"},
    // Spreads (the 95th percentile of |value - median| within the experiment) a sample may lie
    // from the channel's median: bursts of real EMG stay within a few.
    {Check::emg_spike, "emg_spike", Severity::error, 8, "spreads"},
    // Every MVC-based value divides by the MVC.
    {Check::mvc_zero, "mvc_zero", Severity::error, 0, "uV"},
    // The share of the run-wide MVC a chewing trial's own MVC may reach: chewing that outdoes
    // the maximal clench makes every MVC-based value suspect.
    {Check::mvc_below_trial, "mvc_below_trial", Severity::warning, 1, "uV"},
    // Confirmed cycles a chewing trial should have at least.
    {Check::no_confirmed_cycle, "no_confirmed_cycle", Severity::warning, 1, "cycles"},
    // mm the distance between two tracked points may vary over an experiment: they sit on one
    // rigid jaw, so more is a tracking error.
    {Check::tracking, "tracking", Severity::warning, 2, "mm"},
    // Chewing strokes without the jaw frame's measures: the calibration gives no frame.
    {Check::no_kinematics, "no_kinematics", Severity::warning, 0, "strokes"},
    // EMG channels that hold a value other than 0: a jaw-tracking recording without EMG has none,
    // and every EMG value of it is absent.
    {Check::no_emg, "no_emg", Severity::warning, 0, "channels"},
    // The lower bound of the maximal opening (kOpeningRange_mm); the findings give the bound
    // they broke. Positions in another unit scale every distance.
    {Check::position_units, "position_units", Severity::warning, 10, "mm"},
    // The lab's protocol gives a fixed position another role: the classic figures of that
    // position (MVC, maximal opening, a condition's indices) then rest on another task.
    {Check::protocol_role, "protocol_role", Severity::warning, 0, ""},
};

// Bounds, wide around human jaws, within which the maximal opening (experiments 3 and 4) and the
// median chewing-stroke opening fall when the positions are in millimetres: centimetres make
// every distance ten times smaller, metres a thousand times, micrometres a thousand times larger.
struct Range {
  long double low, high;
};
constexpr Range kOpeningRange_mm = {10, 100};
constexpr Range kChewingRange_mm = {3, 40};

// The unit that brings `mm` into `range`, as a reading in millimetres of positions in it.
std::string likely_unit(long double mm, const Range& range) {
  const struct {
    long double mm_per_unit;
    const char* name;
  } units[] = {{10, "centimetres"}, {1000, "metres"}, {0.001L, "micrometres"}};
  for (const auto& unit : units) {
    const long double scaled = mm * unit.mm_per_unit;
    if (scaled >= range.low && scaled <= range.high)
      return std::string("the positions look like ") + unit.name;
  }
  return "the positions do not look like millimetres";
}

const char* const kPointNames[kPoints] = {"right", "left", "incisal", "molar1", "molar2"};
const char* const kAxes[3] = {"x", "y", "z"};

std::string field_name(int field) {
  if (field < kPositionFields) return std::string(kPointNames[field / 3]) + "_" + kAxes[field % 3];
  return kChannelKeys[field - kPositionFields];
}

// The experiment (1-based) holding sample i; 0 when none does.
int experiment_of(int i) {
  for (int k = 0; k < no_tracks && k < kMaxTracks; ++k)
    if (i >= tracks[k].first_entry && i <= tracks[k].last_entry) return k + 1;
  return 0;
}

std::string text(long double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.6Lg", value);
  return buffer;
}

std::string plural(long long n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

// The recording's time step: the median over its experiments of their mean step. Each
// experiment's mean is exact to the rate even where whole-millisecond stamps alternate between
// two steps (777 Hz: 1 and 2 ms), and the median ignores an experiment a gap stretches.
long double recording_step(const RawFacts& raw, int experiments) {
  std::vector<long double> steps;
  for (int k = 0; k < experiments; ++k)
    if (raw.experiments[k].mean_step > 0) steps.push_back(raw.experiments[k].mean_step);
  if (steps.empty()) return 0;
  std::sort(steps.begin(), steps.end());
  const std::size_t n = steps.size();
  return n % 2 == 1 ? steps[n / 2] : (steps[n / 2 - 1] + steps[n / 2]) / 2;
}

// "missing experiments 14 to 18 (trials FK2, RK1, ...)".
std::string missing_text(int experiments) {
  std::string s =
      "only " + std::to_string(experiments) + " of " + std::to_string(kMaxTracks) +
      " experiments: missing " +
      (experiments + 1 == kMaxTracks ? "experiment 18"
                                     : "experiments " + std::to_string(experiments + 1) + " to " +
                                           std::to_string(kMaxTracks));
  std::string trials;
  for (int k = std::max(experiments, kFirstChewingTrial); k <= kLastChewingTrial; ++k)
    trials += std::string(trials.empty() ? "" : ", ") + trial_label(k);
  return s + (trials.empty() ? "" : " (chewing trials " + trials + ")");
}

// The smallest distance (mm) between the calibrated points of a `points`-point calibration, or
// of the incisal point from the line through the right and left ones, where it is below the
// limit: with the reason.
struct Degeneracy {
  long double mm = 0;
  std::string reason;
};
std::optional<Degeneracy> degenerate_calibration(int points) {
  const long double* p = calibration.position;
  bool all_zero = true;
  for (int k = 0; k < 3 * points; ++k)
    if (!(p[k] == 0)) all_zero = false;
  if (all_zero) return Degeneracy{0, "the calibration line is all zero"};
  const long double limit = rule_of(Check::calibration_degenerate).limit;
  auto difference = [&](int a, int b, long double d[3]) {
    for (int i = 0; i < 3; ++i) d[i] = p[3 * a + i] - p[3 * b + i];
  };
  for (int a = 0; a < points; ++a) {
    for (int b = a + 1; b < points; ++b) {
      long double d[3];
      difference(a, b, d);
      const long double apart = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
      if (apart < limit || !std::isfinite(apart))
        return Degeneracy{apart, std::string("the calibrated ") + kPointNames[a] + " and " +
                                     kPointNames[b] + " points lie " + text(apart) + " mm apart"};
    }
  }
  long double across[3], incisal[3];
  difference(0, 1, across);
  difference(kIncisal, 1, incisal);
  const long double c[3] = {across[1] * incisal[2] - across[2] * incisal[1],
                            across[2] * incisal[0] - across[0] * incisal[2],
                            across[0] * incisal[1] - across[1] * incisal[0]};
  const long double off =
      std::sqrt(c[0] * c[0] + c[1] * c[1] + c[2] * c[2]) /
      std::sqrt(across[0] * across[0] + across[1] * across[1] + across[2] * across[2]);
  if (off < limit)
    return Degeneracy{off, "the calibrated incisal point lies " + text(off) +
                               " mm off the line through the right and left points"};
  return std::nullopt;
}

const char* form_name(int type, int four_channels) {
  static const char* const names[2][2] = {
      {"five points and two EMG channels", "five points and four EMG channels"},
      {"three points and two EMG channels", "three points and four EMG channels"}};
  return names[type][four_channels];
}

// The time stamps' rate of an experiment (Hz), where they span enough to measure it; else 0.
long double stamped_rate(const RawExperiment& x) {
  if (x.rate_steps == 0 || x.rate_ms < kMinRatePart_ms) return 0;
  return 1000 * x.rate_steps / x.rate_ms;
}

// Whether experiments j and k hold the same samples: the same count, time stamps and raw EMG,
// the same extremes of their point distances, and something in them that changes (rest
// experiments of a recording without EMG are alike without being copies).
bool same_samples(const RawExperiment& a, const Track& ta, const RawExperiment& b, const Track& tb,
                  int pairs) {
  if (ta.last_entry - ta.first_entry != tb.last_entry - tb.first_entry) return false;
  if (a.digest != b.digest) return false;
  bool varies = a.varies;
  for (int p = 0; p < pairs; ++p) {
    if (!(a.pair_min[p] == b.pair_min[p]) || !(a.pair_max[p] == b.pair_max[p])) return false;
    if (a.pair_max[p] > a.pair_min[p]) varies = true;
  }
  return varies;
}

// NaN or infinite results, counted, with a description of the first.
class NonFiniteResults {
 public:
  void add(long double value, const std::string& what) {
    if (std::isfinite(value)) return;
    if (count_++ == 0) first_ = what;
  }
  // For values whose description costs: `what` is called only for the first.
  template <typename Describe>
  void add_lazily(long double value, Describe what) {
    if (std::isfinite(value)) return;
    if (count_++ == 0) first_ = what();
  }
  int count() const { return count_; }
  const std::string& first() const { return first_; }

 private:
  int count_ = 0;
  std::string first_;
};

// Experiment k's results that are NaN or infinite: its samples' incisal distances, its own
// figures and, for a chewing trial, its cycles' figures and kinematics.
NonFiniteResults experiment_results(const Evaluation& e, int k, int channels) {
  NonFiniteResults r;
  const ExperimentEvaluation& x = e.experiments[k];
  for (int i = x.first_sample; i <= x.last_sample; ++i)
    r.add_lazily(samples.incisal_dist[static_cast<std::size_t>(i)],
                 [i] { return "the incisal distance of sample " + std::to_string(i); });
  r.add(x.right_max, "the right point's largest distance");
  r.add(x.left_max, "the left point's largest distance");
  r.add(x.incisal_max, "the incisal point's largest distance");
  if (e.sampling_rate > 0) r.add(x.duration_s, "the duration");  // else no_sampling_rate
  r.add(x.masseter_balance, "the masseters' work balance");
  r.add(x.temporalis_balance, "the temporales' work balance");
  for (int c = 0; c < channels; ++c) {
    const std::string key = kChannelKeys[c];
    r.add(x.mvc[c], "the MVC of " + key);
    r.add(x.nl[c], "the noise level of " + key);
    r.add(x.work[c], "the work of " + key);
    r.add(x.work_uvs[c], "the work of " + key);
    r.add(x.activity_level[c], "the activity level of " + key);
  }
  for (const TrialEvaluation& trial : e.trials) {
    if (trial.position != k) continue;
    for (std::size_t n = 0; n < trial.cycles.size(); ++n) {
      const CycleResult& cycle = trial.cycles[n];
      const std::string of = " of cycle " + std::to_string(n + 1);
      r.add(cycle.incisal_max, "the largest incisal distance" + of);
      r.add(cycle.end_distance, "the closing distance" + of);
      r.add(cycle.amplitude, "the amplitude" + of);
      r.add(cycle.opening_speed, "the opening speed" + of);
      r.add(cycle.closing_speed, "the closing speed" + of);
    }
    for (std::size_t n = 0; n < trial.strokes.size(); ++n) {
      const StrokeResult& stroke = trial.strokes[n];
      const std::string of = " of stroke " + std::to_string(n + 1);
      r.add(stroke.path_mm, "path_mm" + of);
      r.add(stroke.peak_opening_speed, "peak_opening_speed" + of);
      r.add(stroke.peak_closing_speed, "peak_closing_speed" + of);
      if (!stroke.shape) continue;
      const StrokeShape& m = *stroke.shape;
      r.add(m.vertical_mm, "vertical_mm" + of);
      r.add(m.lateral_mm, "lateral_mm" + of);
      r.add(m.ap_mm, "ap_mm" + of);
      r.add(m.frontal_area_mm2, "frontal_area_mm2" + of);
      if (m.closing_angle_deg) r.add(*m.closing_angle_deg, "closing_angle_deg" + of);
    }
  }
  return r;
}

// The recording's run-wide results that are NaN or infinite. (The indices are left out: the
// report prints -nan where a trial pair has no cycle or work, and other checks say why.)
NonFiniteResults recording_results(const Evaluation& e, int channels) {
  NonFiniteResults r;
  for (int c = 0; c < channels; ++c) {
    r.add(e.run_mvc[c], std::string("the run-wide MVC of ") + kChannelKeys[c]);
    r.add(e.run_nl[c], std::string("the run-wide noise level of ") + kChannelKeys[c]);
  }
  r.add(e.right_max, "the run-wide right distance");
  r.add(e.left_max, "the run-wide left distance");
  r.add(e.incisal_max, "the run-wide incisal distance");
  return r;
}

class Findings {
 public:
  void add(Check check, int experiment, const std::string& channel, long double value,
           long double limit, const std::string& message) {
    list_.push_back({check, experiment, channel, value, limit, message});
  }
  std::vector<Finding> take() { return std::move(list_); }
  bool empty() const { return list_.empty(); }

 private:
  std::vector<Finding> list_;
};

}  // namespace

const char* severity_name(Severity severity) {
  return severity == Severity::error ? "error" : "warning";
}

static_assert(sizeof kRules / sizeof kRules[0] == kChecks, "one rule per check");

const CheckRule& rule_of(Check check) { return kRules[static_cast<int>(check)]; }

namespace {

void check_unit(const char* what, long double mm, const Range& range, Findings& out) {
  if (!std::isfinite(mm) || (mm >= range.low && mm <= range.high)) return;
  out.add(Check::position_units, 0, "", mm, mm < range.low ? range.low : range.high,
          std::string(what) + " is " + text(mm) + " mm, outside " + text(range.low) + " to " +
              text(range.high) + " mm: " + likely_unit(mm, range));
}

// The maximal opening, where the recording has a maximal-opening experiment, and the median
// opening of the chewing strokes (of the trials' largest incisal distances where no stroke was
// found), against the bounds of a jaw measured in millimetres.
void check_units(const Evaluation& e, Findings& out) {
  if (e.no_experiments > kMaximalOpenings[0] && e.incisal_max > 0)
    check_unit("the maximal opening", e.incisal_max, kOpeningRange_mm, out);
  std::vector<long double> openings, largest;
  for (const TrialEvaluation& trial : e.trials) {
    for (const StrokeResult& stroke : trial.strokes) openings.push_back(stroke.opening_mm);
    largest.push_back(e.experiments[trial.position].incisal_max);
  }
  std::vector<long double>& figures = openings.empty() ? largest : openings;
  if (figures.empty() || !e.strokes_found) return;
  std::sort(figures.begin(), figures.end());
  const std::size_t n = figures.size();
  const long double median = n % 2 ? figures[n / 2] : (figures[n / 2 - 1] + figures[n / 2]) / 2;
  if (median > 0)
    check_unit(openings.empty() ? "the chewing trials' median largest incisal distance"
                                : "the chewing strokes' median opening",
               median, kChewingRange_mm, out);
}

}  // namespace

std::vector<Finding> check_recording(const RawFacts& raw, const Evaluation& evaluation) {
  Findings out;
  const RecordingForm& form = raw.form;
  const int experiments = evaluation.no_experiments;

  if (raw.read.calibration_lines == 0) {
    out.add(Check::no_calibration, 0, "", 0, rule_of(Check::no_calibration).limit,
            "no calibration line: positions are taken from 0 and lines read in the five-point "
            "form");
  } else if (const std::optional<Degeneracy> d =
                 degenerate_calibration(calibration.type == 0 ? kPoints : 3)) {
    out.add(Check::calibration_degenerate, 0, "", d->mm,
            rule_of(Check::calibration_degenerate).limit,
            d->reason + ": positions are measured from it and the kinematics need its points");
  }
  if (raw.read.calibration_lines > 0 &&
      raw.read.samples_before_calibration > rule_of(Check::calibration_after_samples).limit) {
    out.add(Check::calibration_after_samples, 0, "", raw.read.samples_before_calibration,
            rule_of(Check::calibration_after_samples).limit,
            "a calibration line follows " +
                plural(raw.read.samples_before_calibration, "sample", "samples") +
                ": it is their reference too");
  }
  {
    // The form most samples are read in; every other names its count and first line.
    const ReadResult::FormTally* most = nullptr;
    for (const auto& type : raw.read.forms)
      for (const ReadResult::FormTally& tally : type)
        if (most == nullptr || tally.samples > most->samples) most = &tally;
    int others = 0;
    std::string listed;
    for (int type = 0; type < 2; ++type) {
      for (int four = 0; four < 2; ++four) {
        const ReadResult::FormTally& tally = raw.read.forms[type][four];
        if (&tally == most || tally.samples == 0) continue;
        others += tally.samples;
        listed += std::string(listed.empty() ? "" : "; ") +
                  plural(tally.samples, "sample line", "sample lines") + " (the first at line " +
                  std::to_string(tally.first_line) + ") of " + form_name(type, four);
      }
    }
    if (others > rule_of(Check::mixed_forms).limit) {
      const int type = static_cast<int>((most - &raw.read.forms[0][0]) / 2);
      const int four = static_cast<int>((most - &raw.read.forms[0][0]) % 2);
      out.add(Check::mixed_forms, 0, "", others, rule_of(Check::mixed_forms).limit,
              listed + " against " + std::to_string(most->samples) + " of " +
                  form_name(type, four) + ": the whole recording is read as " +
                  std::to_string(form.points) + " points and " + std::to_string(form.emg_channels) +
                  " EMG channels");
    }
  }
  if (evaluation.frame.valid && !evaluation.frame.from_openings) {
    out.add(Check::jaw_frame_from_plane, 0, "", evaluation.frame.opening_mm,
            rule_of(Check::jaw_frame_from_plane).limit,
            "the maximal openings (experiments 3 and 4) give no opening axis: the kinematics use "
            "the plane of the calibrated points");
  }
  if (experiments < rule_of(Check::missing_experiments).limit) {
    out.add(Check::missing_experiments, 0, "", experiments,
            rule_of(Check::missing_experiments).limit, missing_text(experiments));
  }
  for (int k = 1; k < experiments; ++k) {
    for (int j = 0; j < k; ++j) {
      if (!same_samples(raw.experiments[j], tracks[j], raw.experiments[k], tracks[k],
                        checked_pairs(form.points != kPoints)))
        continue;
      out.add(Check::duplicate_experiment, k + 1, "", j + 1,
              rule_of(Check::duplicate_experiment).limit,
              "the same samples as experiment " + std::to_string(j + 1));
      break;
    }
  }
  if (experiments > 0 && is_chewing_trial(experiments - 1)) {
    // The last trial against the median length of the recording's other chewing trials.
    std::vector<long double> others;
    for (int k = kFirstChewingTrial; k < experiments - 1; ++k)
      if (raw.experiments[k].span_ms > 0) others.push_back(raw.experiments[k].span_ms);
    if (others.size() >= 2) {
      std::sort(others.begin(), others.end());
      const std::size_t n = others.size();
      const long double median =
          n % 2 == 1 ? others[n / 2] : (others[n / 2 - 1] + others[n / 2]) / 2;
      const long double share = raw.experiments[experiments - 1].span_ms / median * 100;
      if (share < rule_of(Check::last_trial_short).limit) {
        out.add(Check::last_trial_short, experiments, "", share,
                rule_of(Check::last_trial_short).limit,
                std::string("the last trial ") + trial_label(experiments - 1) + " lasts " +
                    text(raw.experiments[experiments - 1].span_ms) +
                    " ms, the other chewing trials " + text(median) + " ms: a file cut short?");
      }
    }
  }
  if (raw.samples_before_first_experiment > rule_of(Check::samples_before_first_experiment).limit) {
    out.add(Check::samples_before_first_experiment, 0, "", raw.samples_before_first_experiment,
            rule_of(Check::samples_before_first_experiment).limit,
            plural(raw.samples_before_first_experiment, "sample", "samples") +
                " before the first time stamp 0 belong to no experiment");
  }
  if (raw.read.skipped_lines > rule_of(Check::skipped_lines).limit) {
    out.add(Check::skipped_lines, 0, "", raw.read.skipped_lines,
            rule_of(Check::skipped_lines).limit,
            plural(raw.read.skipped_lines, "line was", "lines were") +
                " skipped as neither header, calibration nor sample");
  }

  const long double step = recording_step(raw, experiments);
  const long double rate = evaluation.sampling_rate;
  // What each experiment's own rate is held against: the header's, unless the header is missing
  // or disagrees with the recording's time stamps, which then stand in for it.
  long double reference = 0;
  const char* reference_is = "the Frequency header";
  if (!(rate > rule_of(Check::no_sampling_rate).limit) || !std::isfinite(rate)) {
    out.add(Check::no_sampling_rate, 0, "", rate, rule_of(Check::no_sampling_rate).limit,
            "no readable sampling rate in the Frequency header: durations and chewing "
            "frequencies have none");
  } else if (step > 0) {
    const long double stamped = 1000 / step;  // Hz
    const long double off = std::fabs(rate - stamped) / stamped * 100;
    if (off > rule_of(Check::sampling_rate).limit) {
      out.add(Check::sampling_rate, 0, "", off, rule_of(Check::sampling_rate).limit,
              "the Frequency header says " + text(rate) + " Hz, the time stamps " + text(stamped) +
                  " Hz");
    }
    reference = off > rule_of(Check::sampling_rate).limit ? stamped : rate;
    if (off > rule_of(Check::sampling_rate).limit) reference_is = "the recording's time stamps";
  }
  if (!(reference > 0) && step > 0) {
    reference = 1000 / step;
    reference_is = "the recording's time stamps";
  }
  for (int k = 0; k < experiments && reference > 0; ++k) {
    const RawExperiment& x = raw.experiments[k];
    const long double own = stamped_rate(x);
    if (!(own > 0)) continue;
    const long double off = std::fabs(reference - own) / own * 100;
    if (off > rule_of(Check::experiment_rate).limit) {
      out.add(Check::experiment_rate, k + 1, "", off, rule_of(Check::experiment_rate).limit,
              "its time stamps give " + text(own) + " Hz, " + reference_is + " " + text(reference) +
                  " Hz");
    }
    long double part_rate[kRateParts];
    int fastest = 0, slowest = 0;
    bool measured = true;
    for (int p = 0; p < kRateParts; ++p) {
      measured = measured && x.part_steps[p] > 0 && !(x.part_ms[p] < kMinRatePart_ms);
      part_rate[p] = measured ? 1000 * x.part_steps[p] / x.part_ms[p] : 0;
      if (part_rate[p] > part_rate[fastest]) fastest = p;
      if (part_rate[p] < part_rate[slowest]) slowest = p;
    }
    if (!measured) continue;
    const long double change = (part_rate[fastest] / part_rate[slowest] - 1) * 100;
    if (change > rule_of(Check::rate_change).limit) {
      out.add(Check::rate_change, k + 1, "", change, rule_of(Check::rate_change).limit,
              "its time stamps give " + text(part_rate[fastest]) + " Hz in its part " +
                  std::to_string(fastest + 1) + " and " + text(part_rate[slowest]) +
                  " Hz in its part " + std::to_string(slowest + 1) + " of " +
                  std::to_string(kRateParts));
    }
  }

  for (int c = 0; c < form.emg_channels; ++c) {
    const long double mvc = *kRunMvc[c];
    if (!(mvc > rule_of(Check::mvc_zero).limit)) {
      out.add(Check::mvc_zero, 0, kChannelKeys[c], mvc, rule_of(Check::mvc_zero).limit,
              std::string("run-wide MVC of ") + kChannelKeys[c] + " is " + text(mvc) +
                  " uV: every MVC-based value divides by it");
    }
  }
  for (int c = 0; c < form.emg_channels; ++c) {
    if (raw.clipping_run[c] < rule_of(Check::emg_clipping).limit) continue;
    out.add(Check::emg_clipping, experiment_of(raw.clipping_at[c]), kChannelKeys[c],
            raw.clipping_run[c], rule_of(Check::emg_clipping).limit,
            std::to_string(raw.clipping_run[c]) + " samples in a row from sample " +
                std::to_string(raw.clipping_at[c]) + " at the largest magnitude " +
                text(raw.largest_emg[c]) + " uV: clipped?");
  }

  for (int k = 0; k < experiments; ++k) {
    const RawExperiment& x = raw.experiments[k];
    const Track& t = tracks[k];
    const int number = k + 1;
    if (x.steps_not_rising > rule_of(Check::time_order).limit) {
      out.add(
          Check::time_order, number, "", x.steps_not_rising, rule_of(Check::time_order).limit,
          plural(x.steps_not_rising, "time stamp falls or repeats", "time stamps fall or repeat") +
              ", first at sample " + std::to_string(x.first_not_rising));
    }
    const long double gap_limit = rule_of(Check::time_gap).limit * step;
    if (step > 0 && x.longest_step > gap_limit) {
      out.add(Check::time_gap, number, "", x.longest_step, gap_limit,
              "a gap of " + text(x.longest_step) + " ms before sample " +
                  std::to_string(x.longest_step_at) + " (the time step is " + text(step) + " ms)");
    }
    for (int field = 0; field < kCheckedFields; ++field) {
      if (x.non_finite[field] <= rule_of(Check::non_finite).limit) continue;
      out.add(Check::non_finite, number, field_name(field), x.non_finite[field],
              rule_of(Check::non_finite).limit,
              plural(x.non_finite[field], "NaN or infinite value", "NaN or infinite values") +
                  ", first at sample " + std::to_string(x.first_non_finite[field]));
    }
    for (int p = 0; p < checked_pairs(form.points != kPoints); ++p) {
      const long double spread = x.pair_max[p] - x.pair_min[p];
      if (!(spread > rule_of(Check::tracking).limit)) continue;
      const std::string pair =
          std::string(kPointNames[kPairs[p].a]) + "-" + kPointNames[kPairs[p].b];
      out.add(Check::tracking, number, pair, spread, rule_of(Check::tracking).limit,
              "the " + pair + " distance varies from " + text(x.pair_min[p]) + " to " +
                  text(x.pair_max[p]) + " mm on a rigid jaw");
    }
    for (int c = 0; c < form.emg_channels; ++c) {
      if (x.emg_largest[c] > rule_of(Check::emg_ceiling).limit) {
        out.add(Check::emg_ceiling, number, kChannelKeys[c], x.emg_largest[c],
                rule_of(Check::emg_ceiling).limit,
                "a value of " + text(x.emg_largest[c]) + " uV at sample " +
                    std::to_string(x.emg_largest_at[c]) + ", beyond what surface EMG reaches");
      }
      if (x.spikes[c] > 0) {
        out.add(Check::emg_spike, number, kChannelKeys[c], x.spike_size[c],
                rule_of(Check::emg_spike).limit,
                plural(x.spikes[c], "sample lies", "samples lie") + " beyond " +
                    text(rule_of(Check::emg_spike).limit) + " x the spread " +
                    text(x.emg_spread[c]) + " uV from the median, first at sample " +
                    std::to_string(x.first_spike[c]));
      }
    }
    if (!is_chewing_trial(k)) continue;
    for (int c = 0; c < form.emg_channels; ++c) {
      if (!x.emg_flat[c]) continue;
      out.add(Check::emg_flat, number, kChannelKeys[c], 0, rule_of(Check::emg_flat).limit,
              x.emg_level[c] == 0
                  ? std::string("all zero in ") + trial_label(k)
                  : "constant at " + text(x.emg_level[c]) + " uV in " + trial_label(k));
    }
    for (int c = 0; c < form.emg_channels; ++c) {
      const long double run_mvc = *kRunMvc[c], own = t.*kChannelMvc[c];
      const long double limit = rule_of(Check::mvc_below_trial).limit * run_mvc;
      if (!(run_mvc > 0) || !(own > limit)) continue;
      out.add(Check::mvc_below_trial, number, kChannelKeys[c], own, limit,
              std::string(trial_label(k)) + " reaches " + text(own) +
                  " uV, above the maximal clench's " + text(run_mvc) + " uV");
    }
    if (form.emg_channels > 0 && t.no_chewing_cycles < rule_of(Check::no_confirmed_cycle).limit) {
      out.add(Check::no_confirmed_cycle, number, "", t.no_chewing_cycles,
              rule_of(Check::no_confirmed_cycle).limit,
              std::string("no chewing cycle confirmed in ") + trial_label(k));
    }
  }

  // Results that are not numbers although every raw value was: only where no raw value and no
  // time step already explains them (and, for the run-wide ones, no other finding).
  bool raw_non_finite = false;
  for (int k = 0; k < experiments; ++k) {
    const RawExperiment& x = raw.experiments[k];
    bool explained = x.steps_not_rising > 0;
    for (int field = 0; field < kCheckedFields; ++field) explained |= x.non_finite[field] > 0;
    raw_non_finite |= explained;
    if (explained) continue;
    const NonFiniteResults results = experiment_results(evaluation, k, form.emg_channels);
    if (results.count() > rule_of(Check::non_finite_result).limit) {
      out.add(Check::non_finite_result, k + 1, "", results.count(),
              rule_of(Check::non_finite_result).limit,
              plural(results.count(), "result is", "results are") +
                  " NaN or infinite from finite values, first " + results.first());
    }
  }
  if (!raw_non_finite && out.empty()) {
    const NonFiniteResults results = recording_results(evaluation, form.emg_channels);
    if (results.count() > rule_of(Check::non_finite_result).limit) {
      out.add(Check::non_finite_result, 0, "", results.count(),
              rule_of(Check::non_finite_result).limit,
              plural(results.count(), "result is", "results are") +
                  " NaN or infinite from finite values, first " + results.first());
    }
  }

  if (form.emg_channels == 0 && evaluation.no_entries > 0)
    out.add(Check::no_emg, 0, "", 0, rule_of(Check::no_emg).limit,
            "no EMG channel holds a value other than 0: jaw tracking without EMG, so every EMG "
            "value is empty and no cycle or stroke is confirmed");
  check_units(evaluation, out);

  if (!evaluation.frame.valid) {
    int strokes = 0;
    for (const TrialEvaluation& trial : evaluation.trials)
      strokes += static_cast<int>(trial.strokes.size());
    if (strokes > rule_of(Check::no_kinematics).limit) {
      const char* reason = raw.read.calibration_lines == 0
                               ? "there is no calibration line"
                               : "the calibrated right and left points give no lateral axis, or "
                                 "all three no plane where the maximal openings give no opening "
                                 "axis";
      out.add(
          Check::no_kinematics, 0, "", strokes, rule_of(Check::no_kinematics).limit,
          std::string("the chewing strokes have no lateral, vertical or loop measures: ") + reason);
    }
  }
  return out.take();
}

void add_protocol_findings(const LabProtocol& protocol, int no_experiments,
                           std::vector<Finding>& findings) {
  for (int k = 0; k < no_experiments && k < kMaxTracks; ++k) {
    if (!contradicts_fixed_role(protocol, k)) continue;
    const Role fixed = fixed_role(k);
    const std::string reads =
        fixed == Role::clench ? "a maximal clench (its MVC)"
        : fixed == Role::max_opening
            ? "a maximal opening"
            : std::string("the trial ") + trial_label(k) + " (" + role_name(fixed) + ")";
    Finding f;
    f.check = Check::protocol_role;
    f.experiment = k + 1;
    f.message = "the protocol gives experiment " + std::to_string(k + 1) + " the role " +
                role_name(protocol.role[k]) + "; the classic report reads it as " + reads;
    // After the whole recording's findings and those of the experiments before it.
    auto at = findings.begin();
    while (at != findings.end() && at->experiment <= f.experiment) ++at;
    findings.insert(at, f);
  }
}
