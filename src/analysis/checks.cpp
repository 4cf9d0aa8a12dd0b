#include "analysis/checks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "analysis/evaluation.h"
#include "analysis/kinematics.h"
#include "protocol/protocol.h"

namespace {

// Every check's name, severity and limit, in one place. The README's "Data checks" section
// explains each; change a limit here and there.
constexpr CheckRule kRules[kChecks] = {
    // Without one every position is measured from 0 and lines are read in the five-point form.
    {Check::no_calibration, "no_calibration", Severity::error, 1, "lines"},
    // The maximal openings give the jaw's opening axis; a shorter opening across the lateral axis
    // gives no direction, and the plane of the calibrated points has to stand in for it.
    {Check::jaw_frame_from_plane, "jaw_frame_from_plane", Severity::warning, kFlatOpening_mm, "mm"},
    // The last calibration line is the reference of every sample, also of those read before it,
    // which were read in the form in force then: an edited or joined file.
    {Check::calibration_after_samples, "calibration_after_samples", Severity::warning, 0,
     "samples"},
    // The protocol has 18 experiments; a missing one reads as zeros in every table.
    {Check::missing_experiments, "missing_experiments", Severity::error, kMaxTracks, "experiments"},
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
    // Windows, burst integrals and speeds all assume time stamps that rise.
    {Check::time_order, "time_order", Severity::error, 0, "steps"},
    // Time steps, in the recording's own median step, a gap may last: lost samples shorten
    // every window and integral across the gap.
    {Check::time_gap, "time_gap", Severity::warning, 10, "ms"},
    // A NaN or infinity spreads through every window, maximum and sum it enters.
    {Check::non_finite, "non_finite", Severity::error, 0, "values"},
    // A channel without any variation carries no signal: a loose or missing electrode.
    {Check::emg_flat, "emg_flat", Severity::error, 0, "uV"},
    // Samples in a row at the channel's largest magnitude: the amplifier or converter saturated,
    // so MVC, bursts and work are cut off. Real EMG at its peak does not stay put that long.
    {Check::emg_clipping, "emg_clipping", Severity::warning, 5, "samples"},
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
};

const char* const kPointNames[kPoints] = {"right", "left", "incisal", "molar1", "molar2"};
const char* const kAxes[3] = {"x", "y", "z"};

// Fields the form carries: its points' coordinates, then its EMG channels.
bool carried(int field, const RecordingForm& form) {
  if (field < kPositionFields) return field < 3 * form.points;
  return field - kPositionFields < form.emg_channels;
}
std::string field_name(int field) {
  if (field < kPositionFields) return std::string(kPointNames[field / 3]) + "_" + kAxes[field % 3];
  return kChannelKeys[field - kPositionFields];
}

// Experiment k's facts from its raw EMG and time stamps, for every channel: which of them the
// recording carries is known only once it is read (finish() drops the others). The channel values
// are those experiment_channel() points to, before the conditioning smooths them.
void gather_samples(int k, RawExperiment& x, RawFactsGatherer::Clipping* clipping) {
  const int f = tracks[k].first_entry, l = tracks[k].last_entry;
  for (int c = 0; c < kChannels; ++c) {
    const long double* v = experiment_channel(c, k);
    x.emg_flat[c] = true;
    x.emg_level[c] = 0;
    if (v == nullptr) continue;  // every value +0: flat at 0, finite, no magnitude
    x.emg_level[c] = v[f];
    // One pass: the largest finite magnitude so far, and the longest run at it (a larger one
    // starts the runs anew), which at the end is the longest run at the experiment's largest.
    long double largest = 0;
    int run = 0;
    RawFactsGatherer::Clipping& own = clipping[c];
    for (int i = f; i <= l; ++i) {
      const long double a = v[i];
      if (!(a == x.emg_level[c])) x.emg_flat[c] = false;
      if (!std::isfinite(a)) {
        if (x.non_finite[kPositionFields + c]++ == 0) x.first_non_finite[kPositionFields + c] = i;
        run = 0;
        continue;
      }
      const long double magnitude = std::fabs(a);
      if (magnitude > largest) {
        largest = magnitude;
        run = 0;
        own.run = 0;
      } else if (!(magnitude == largest)) {
        run = 0;
        continue;
      }
      if (++run > own.run) {
        own.run = run;
        own.at = i - run + 1;
      }
    }
    own.largest = largest;
    if (!(largest > 0)) own.run = own.at = 0;  // runs of zeros are no clipping
  }
  for (int i = f + 1; i <= l; ++i) {
    const long double step = elapsed_value(samples.time[i], samples.time[i - 1]);
    if (!(step > 0) && x.steps_not_rising++ == 0) x.first_not_rising = i;
    if (step > x.longest_step) {
      x.longest_step = step;
      x.longest_step_at = i;
    }
  }
  if (l > f) x.mean_step = elapsed_value(samples.time[l], samples.time[f]) / (l - f);
}

// Experiment k's facts of the positions, as the reader gathered them, for the fields the form
// carries; and nothing of the channels it does not carry.
void gather_positions(int k, const RecordingForm& form, RawExperiment& x) {
  const RawPositions& positions = raw_positions[k];
  for (int field = 0; field < kPositionFields; ++field) {
    if (!carried(field, form)) continue;
    x.non_finite[field] = positions.non_finite[field];
    x.first_non_finite[field] = positions.first_non_finite[field];
  }
  for (int p = 0; p < checked_pairs(form.points != kPoints); ++p) {
    x.pair_min[p] = positions.pair_min[p];
    x.pair_max[p] = positions.pair_max[p];
  }
  for (int c = form.emg_channels; c < kChannels; ++c) {
    x.non_finite[kPositionFields + c] = x.first_non_finite[kPositionFields + c] = 0;
    x.emg_flat[c] = false;
    x.emg_level[c] = 0;
  }
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

class Findings {
 public:
  void add(Check check, int experiment, const std::string& channel, long double value,
           long double limit, const std::string& message) {
    list_.push_back({check, experiment, channel, value, limit, message});
  }
  std::vector<Finding> take() { return std::move(list_); }

 private:
  std::vector<Finding> list_;
};

}  // namespace

const char* severity_name(Severity severity) {
  return severity == Severity::error ? "error" : "warning";
}

static_assert(sizeof kRules / sizeof kRules[0] == kChecks, "one rule per check");

const CheckRule& rule_of(Check check) { return kRules[static_cast<int>(check)]; }

RecordingForm recording_form() {
  RecordingForm form;
  if (no_entries == 0) {
    // The form the reader would read sample lines in: three-point lines with four channels
    // first.
    form.points = calibration.type == 0 ? 5 : 3;
    form.emg_channels = calibration.type == 0 ? 2 : 4;
    return form;
  }
  form.points = sample_forms.three_point ? 3 : kPoints;
  form.emg_channels = sample_forms.two_channels ? 2 : kChannels;
  return form;
}

void RawFactsGatherer::experiment(int k) {
  if (k >= kMaxTracks) return;
  gather_samples(k, raw_.experiments[k], clipping_[k]);
}

RawFacts RawFactsGatherer::finish(const ReadResult& read) {
  RawFacts& raw = raw_;
  raw.read = read;
  raw.form = recording_form();
  raw.samples_before_first_experiment = no_tracks > 0 ? tracks[0].first_entry : no_entries;
  const int experiments = std::min(no_tracks, kMaxTracks);
  for (int k = 0; k < experiments; ++k) gather_positions(k, raw.form, raw.experiments[k]);
  // The longest run at each channel's largest finite magnitude over the recording: the first
  // longest of the experiments whose own largest it is.
  for (int c = 0; c < raw.form.emg_channels; ++c) {
    long double largest = 0;
    for (int k = 0; k < experiments; ++k)
      if (clipping_[k][c].largest > largest) largest = clipping_[k][c].largest;
    raw.largest_emg[c] = largest;
    if (!(largest > 0)) continue;
    for (int k = 0; k < experiments; ++k) {
      const Clipping& own = clipping_[k][c];
      if (own.largest == largest && own.run > raw.clipping_run[c]) {
        raw.clipping_run[c] = own.run;
        raw.clipping_at[c] = own.at;
      }
    }
  }
  return raw;
}

std::vector<Finding> check_recording(const RawFacts& raw, const Evaluation& evaluation) {
  Findings out;
  const RecordingForm& form = raw.form;
  const int experiments = evaluation.no_experiments;

  if (raw.read.calibration_lines == 0) {
    out.add(Check::no_calibration, 0, "", 0, rule_of(Check::no_calibration).limit,
            "no calibration line: positions are taken from 0 and lines read in the five-point "
            "form");
  } else if (raw.read.samples_before_calibration >
             rule_of(Check::calibration_after_samples).limit) {
    out.add(Check::calibration_after_samples, 0, "", raw.read.samples_before_calibration,
            rule_of(Check::calibration_after_samples).limit,
            "a calibration line follows " +
                plural(raw.read.samples_before_calibration, "sample", "samples") +
                ": it is their reference too");
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
    if (t.no_chewing_cycles < rule_of(Check::no_confirmed_cycle).limit) {
      out.add(Check::no_confirmed_cycle, number, "", t.no_chewing_cycles,
              rule_of(Check::no_confirmed_cycle).limit,
              std::string("no chewing cycle confirmed in ") + trial_label(k));
    }
  }
  return out.take();
}
