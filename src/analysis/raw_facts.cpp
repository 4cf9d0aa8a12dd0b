// The data checks' first pass: the facts of each experiment's raw samples, gathered before the
// EMG conditioning smooths them (see checks.h).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "analysis/checks.h"
#include "protocol/protocol.h"

namespace {

// The time stamps' rate is measured on the steps up to this many times the parts' largest median
// step: whole-millisecond stamps alternate between two neighbouring steps, a rate halved midway
// doubles them, and longer steps are gaps (time_gap) that would stretch the rate.
constexpr long double kRateStepFactor = 3;
// The spread of a channel's values for emg_spike: this percentile of |value - median|, which a
// few damaged samples cannot move; the most evenly spaced samples it is taken over (beyond a few
// thousand a percentile hardly moves), and the fewest finite ones.
constexpr int kSpreadPercentile = 95;
constexpr int kSpreadSamples = 4096;
constexpr std::size_t kMinSpreadSamples = 20;
// Evenly spaced values of each channel an experiment's digest takes in: copies have them all
// alike, real experiments none.
constexpr int kDigestValues = 64;

// Fields the form carries: its points' coordinates, then its EMG channels.
bool carried(int field, const RecordingForm& form) {
  if (field < kPositionFields) return field < 3 * form.points;
  return field - kPositionFields < form.emg_channels;
}
// Whether experiment k's EMG enters a result: the clenching experiments give the MVC, the chewing
// trials everything else.
bool emg_counts(int k) {
  return k == kMvcExperiments[0] || k == kMvcExperiments[1] || is_chewing_trial(k);
}

// The value of rank `rank` (from 0) of v[from, to) as if sorted; reorders that range.
template <typename T>
T ranked(std::vector<T>& v, std::size_t from, std::size_t to, std::size_t rank) {
  std::nth_element(v.begin() + from, v.begin() + from + rank, v.begin() + to);
  return v[from + rank];
}

// The steps experiment k's time stamps rate is measured on (see RawExperiment).
void gather_rate(int f, int l, RawExperiment& x, std::vector<long long>& steps,
                 std::vector<long long>& sorted) {
  steps.clear();
  for (int i = f + 1; i <= l; ++i) {
    long long step;
    if (__builtin_sub_overflow(samples.time[i], samples.time[i - 1], &step)) step = -1;
    steps.push_back(step);  // an overflowing step counts as none
  }
  const std::size_t n = steps.size();
  if (n < kRateParts) return;
  sorted = steps;
  long long largest_median = 0;
  for (int p = 0; p < kRateParts; ++p) {
    const std::size_t from = n * p / kRateParts, to = n * (p + 1) / kRateParts;
    largest_median = std::max(largest_median, ranked(sorted, from, to, (to - from) / 2));
  }
  const long double longest = kRateStepFactor * largest_median;
  for (int p = 0; p < kRateParts; ++p) {
    long long sum = 0;
    for (std::size_t i = n * p / kRateParts; i < n * (p + 1) / kRateParts; ++i) {
      if (!(steps[i] > 0) || steps[i] > longest) continue;
      if (__builtin_add_overflow(sum, steps[i], &sum)) return;  // beyond any real recording
      ++x.part_steps[p];
    }
    x.part_ms[p] = sum;
    x.rate_ms += x.part_ms[p];
    x.rate_steps += x.part_steps[p];
  }
}

// Channel c's largest value and spikes in experiment k, from its raw values v. The median and
// the spread are taken over evenly spaced samples (at most kSpreadSamples of them), the spikes
// and the largest value over all.
void gather_spikes(int c, int f, int l, const long double* v, RawExperiment& x,
                   std::vector<long double>& values) {
  values.clear();
  const int stride = (l - f + 1) / kSpreadSamples + 1;
  for (int i = f; i <= l; i += stride)
    if (std::isfinite(v[i])) values.push_back(v[i]);
  const std::size_t n = values.size();
  long double median = 0, beyond = INFINITY;
  if (n >= kMinSpreadSamples) {
    median = ranked(values, 0, n, n / 2);
    for (long double& a : values) a = std::fabs(a - median);
    x.emg_spread[c] = ranked(values, 0, n, n * kSpreadPercentile / 100);
    if (x.emg_spread[c] > 0) beyond = rule_of(Check::emg_spike).limit * x.emg_spread[c];
  }
  long double farthest = 0;
  for (int i = f; i <= l; ++i) {
    const long double a = std::fabs(v[i]);
    if (a > x.emg_largest[c]) {  // never NaN or infinite: the ceiling is for finite values
      if (a < INFINITY) x.emg_largest[c] = a, x.emg_largest_at[c] = i;
    }
    const long double d = std::fabs(v[i] - median);
    if (!(d > beyond) || !(d < INFINITY)) continue;
    if (x.spikes[c]++ == 0) x.first_spike[c] = i;
    if (d > farthest) farthest = d;
  }
  // The largest distance from the median, in spreads (0 without spikes).
  if (x.spikes[c] > 0) x.spike_size[c] = farthest / x.emg_spread[c];
}

std::uint64_t mix(std::uint64_t digest, std::uint64_t word) {
  digest = (digest ^ word) * 0x100000001b3ULL;
  return digest ^ (digest >> 29);
}
std::uint64_t mix(std::uint64_t digest, long double value) {
  std::uint64_t mantissa;
  std::uint16_t exponent;
  std::memcpy(&mantissa, &value, sizeof mantissa);
  std::memcpy(&exponent, reinterpret_cast<const char*>(&value) + sizeof mantissa, sizeof exponent);
  return mix(mix(digest, mantissa), std::uint64_t{exponent});
}

// Experiment k's facts from its raw EMG and time stamps, for every channel: which of them the
// recording carries is known only once it is read (finish() drops the others). The channel values
// are those experiment_channel() points to, before the conditioning smooths them.
void gather_samples(int k, RawExperiment& x, RawFactsGatherer::Clipping* clipping,
                    std::vector<long double>& scratch, std::vector<long long>& steps,
                    std::vector<long long>& sorted_steps) {
  const int f = tracks[k].first_entry, l = tracks[k].last_entry;
  std::uint64_t digest = mix(0xcbf29ce484222325ULL, static_cast<std::uint64_t>(l - f));
  for (int c = 0; c < kChannels; ++c) {
    const long double* v = experiment_channel(c, k);
    x.emg_flat[c] = true;
    x.emg_level[c] = 0;
    // The digest's values, +0 for a column still empty: a column is empty while its channel read
    // only +0 so far, so the same samples read as a whole or in order have the same digest.
    for (int i = f; i <= l; i += (l - f) / kDigestValues + 1)
      digest = mix(digest, v == nullptr ? 0.0L : v[i]);
    if (v == nullptr) continue;  // every value +0: flat at 0, finite, no magnitude
    x.emg_level[c] = v[f];
    if (emg_counts(k)) gather_spikes(c, f, l, v, x, scratch);
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
    if (!x.emg_flat[c]) x.varies = true;
  }
  gather_rate(f, l, x, steps, sorted_steps);
  long long stamps = 0;  // wraps: only compared
  for (int i = f + 1; i <= l; ++i) {
    stamps = static_cast<long long>(static_cast<unsigned long long>(stamps) +
                                    static_cast<unsigned long long>(samples.time[i]));
    const long double step = elapsed_value(samples.time[i], samples.time[i - 1]);
    if (!(step > 0) && x.steps_not_rising++ == 0) x.first_not_rising = i;
    if (step > x.longest_step) {
      x.longest_step = step;
      x.longest_step_at = i;
    }
  }
  if (l > f) x.mean_step = elapsed_value(samples.time[l], samples.time[f]) / (l - f);
  x.span_ms = elapsed_value(samples.time[l], samples.time[f]);
  x.digest = mix(mix(digest, static_cast<std::uint64_t>(stamps)),
                 static_cast<std::uint64_t>(samples.time[f]));
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

}  // namespace

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
  // Jaw tracking without EMG: the lines carry channels, every value of them +0 (a channel's
  // column stays empty until another value comes).
  bool carried = false;
  for (int c = 0; c < form.emg_channels; ++c) carried = carried || !samples.channel[c].empty();
  if (!carried) form.emg_channels = 0;
  return form;
}

void RawFactsGatherer::experiment(int k) {
  if (k >= kMaxTracks) return;
  gather_samples(k, raw_.experiments[k], clipping_[k], scratch_, steps_, sorted_steps_);
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
