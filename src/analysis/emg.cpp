#include "analysis/emg.h"

#include <cmath>
#include <optional>
#include <vector>

#include "analysis/extended_bits.h"
#include "analysis/window_means.h"
#include "protocol/protocol.h"
#include "recording/store.h"

namespace {

// One experiment's samples f..l and each channel's values there, indexed by sample number
// (nullptr for a channel whose column is empty: all +0).
struct ExperimentEmg {
  int f, l;
  long double* x[kChannels];
  long double value(int c, int i) const { return x[c] == nullptr ? 0 : x[c][i]; }
};

ExperimentEmg experiment_emg(int t) {
  ExperimentEmg e{tracks[t].first_entry, tracks[t].last_entry, {}};
  for (int c = 0; c < kChannels; ++c) e.x[c] = experiment_channel(c, t);
  return e;
}

// Window by window: trailing RMS over the samples at most rms_time ms before each
// sample, in place. Runs from the last sample down, so that every window still holds raw values.
void smooth_window_by_window(const ExperimentEmg& e, long long rms_time) {
  for (int i = e.l; i >= e.f; --i) {
    long double sum[kChannels] = {0, 0, 0, 0};
    int n = 0;
    for (int j = i; j >= e.f && elapsed(samples.time[i], samples.time[j]) <= rms_time; --j) {
      for (int c = 0; c < kChannels; ++c) {
        const long double x = e.value(c, j);
        sum[c] += x * x;
      }
      ++n;
    }
    for (int c = 0; c < kChannels; ++c) {
      // Only a negative rms_time leaves a window empty; the smoothed value is then 0. An empty
      // column smooths to +0 and stays empty.
      if (e.x[c] != nullptr) e.x[c][i] = n > 0 ? std::sqrt(sum[c] / n) : 0;
    }
  }
}

// Whether the experiment's time stamps never fall and stay far from the 64-bit limits, so that
// windows can be found by moving their ends and plain differences cannot overflow.
bool rising_times(int f, int l) {
  for (int i = f; i <= l; ++i) {
    const long long t = samples.time[i];
    if (t < -kTimeLimit || t > kTimeLimit || (i > f && t < samples.time[i - 1])) return false;
  }
  return true;
}

// Squares of raw values as x * x gives them, deciding from the bits where the unit would be slow:
// a magnitude below 2^-8223 squares to +0 (less than half the smallest denormal), and a value
// that is not finite is multiplied only when its bits differ from the last such value's.
class Squares {
 public:
  long double operator()(const long double& x) {
    const ExtendedBits bits = ExtendedBits::of(x);
    if (!bits.finite()) {
      if (!have_last_ || bits != last_) {
        last_ = bits;
        last_square_ = x * x;
        have_last_ = true;
      }
      return last_square_;
    }
    if (bits.exponent() <= kLargestUnderflowingExponent) return 0;
    return x * x;
  }

 private:
  // Biased exponent 8159 holds magnitudes below 2^(8159 - 16382) = 2^-8223.
  static constexpr int kLargestUnderflowingExponent = 8159;
  ExtendedBits last_{};
  long double last_square_ = 0;
  bool have_last_ = false;
};

// a + b for two squares in a window sum of which `a` is not finite, without arithmetic where the
// result is one of them: a quiet not-a-number absorbs a finite value or an infinity, and +infinity
// absorbs a finite value and itself. Two different not-a-numbers are added.
long double absorb(long double a, long double b) {
  const ExtendedBits x = ExtendedBits::of(a), y = ExtendedBits::of(b);
  if (x.nan()) return y.nan() && y != x ? a + b : a;
  return y.finite() ? a : b;  // a is +infinity; b finite, +infinity or a not-a-number
}

// The squares of one channel that are not finite, found from a sample back. For each sample of
// the experiment: the last such square at or before it (f - 1 when there is none), and the latest
// such square that is followed, at or before the sample, by one of other bits.
class NonFiniteSquares {
 public:
  NonFiniteSquares(int f, int l, const long double* square) : f_(f), square_(square) {
    const std::size_t n = static_cast<std::size_t>(l - f + 1);
    last_.resize(n);
    last_before_change_.resize(n);
    int last = f - 1, before_change = f - 1;
    for (int i = f; i <= l; ++i) {
      const ExtendedBits bits = ExtendedBits::of(square[i]);
      if (!bits.finite()) {
        if (last >= f && ExtendedBits::of(square[last]) != bits) before_change = last;
        last = i;
      }
      last_[static_cast<std::size_t>(i - f)] = last;
      last_before_change_[static_cast<std::size_t>(i - f)] = before_change;
    }
  }
  bool in_window(int low, int i) const { return at(last_, i) >= low; }

  // The window's sum, from i down to low as it is summed: once a square is not finite, the sum
  // is decided by those that are not finite alone, and where they are all alike, by any of them.
  // Dividing by the count and taking the root leave it unchanged.
  long double decided_sum(int low, int i) const {
    int j = at(last_, i);
    long double sum = square_[j];
    if (at(last_before_change_, i) < low) return sum;
    for (j = at(last_, j - 1); j >= low; j = at(last_, j - 1)) sum = absorb(sum, square_[j]);
    return sum;
  }

 private:
  int at(const std::vector<int>& v, int i) const {
    return i < f_ ? f_ - 1 : v[static_cast<std::size_t>(i - f_)];
  }
  int f_;
  const long double* square_;
  std::vector<int> last_, last_before_change_;
};

// The RMS of m (1 to kGroup) windows of one channel: window j holds samples lows[j] to i - j and
// is summed from i - j down, as every window is. The windows start one sample apart, so each
// square, loaded once, goes on to every window that holds it, in each window's own order: seven
// sums side by side, as many as the floating-point unit's eight registers hold beside the square.
constexpr int kGroup = 7;
void smooth_group(const long double* square, long double* rms, int i, const int* lows, int m) {
  // lows[] never rises from one window to the next; the shared stretch needs the first window to
  // hold the first sample of the last.
  if (m < kGroup || lows[0] > i - (kGroup - 1)) {
    for (int j = 0; j < m; ++j) {
      long double sum = 0;
      for (int k = i - j; k >= lows[j]; --k) sum += square[k];
      rms[i - j] = std::sqrt(sum / (i - j - lows[j] + 1));
    }
    return;
  }
  // Samples i down to i - 6: window j begins at i - j.
  long double s0 = square[i], s1 = square[i - 1];
  s0 += s1;
  long double s2 = square[i - 2];
  s0 += s2, s1 += s2;
  long double s3 = square[i - 3];
  s0 += s3, s1 += s3, s2 += s3;
  long double s4 = square[i - 4];
  s0 += s4, s1 += s4, s2 += s4, s3 += s4;
  long double s5 = square[i - 5];
  s0 += s5, s1 += s5, s2 += s5, s3 += s5, s4 += s5;
  long double s6 = square[i - 6];
  s0 += s6, s1 += s6, s2 += s6, s3 += s6, s4 += s6, s5 += s6;
  for (int k = i - kGroup; k >= lows[0]; --k) {  // every window holds these
    const long double x = square[k];
    s0 += x;
    s1 += x;
    s2 += x;
    s3 += x;
    s4 += x;
    s5 += x;
    s6 += x;
  }
  const auto finish = [&](int j, long double sum) {
    for (int k = lows[0] - 1; k >= lows[j]; --k) sum += square[k];
    rms[i - j] = std::sqrt(sum / (i - j - lows[j] + 1));
  };
  finish(0, s0);
  finish(1, s1);
  finish(2, s2);
  finish(3, s3);
  finish(4, s4);
  finish(5, s5);
  finish(6, s6);
}

// Trailing RMS over the samples at most rms_time ms before each sample, in place. Each square is
// formed once, in place of its raw value, and summed from there in the same order: the windows
// run from the last sample down, so a window's squares are still there when its RMS is written.
// A channel whose raw values are all zero smooths to +0 everywhere, which is what its windows
// give.
void smooth(const ExperimentEmg& e, long long rms_time) {
  const int f = e.f, l = e.l;
  if (rms_time < 0 || rms_time > kTimeLimit || !rising_times(f, l)) {
    smooth_window_by_window(e, rms_time);
    return;
  }
  bool active[kChannels] = {false, false, false, false};
  bool any_non_finite[kChannels] = {false, false, false, false};  // a square that is not finite
  Squares square[kChannels];
  for (int c = 0; c < kChannels; ++c) {
    long double* x = e.x[c];
    if (x == nullptr) continue;
    for (int i = f; i <= l; ++i) {
      const ExtendedBits bits = ExtendedBits::of(x[i]);
      if (bits.exponent() != 0 || bits.mantissa != 0) active[c] = true;
      x[i] = square[c](x[i]);
      if (!ExtendedBits::of(x[i]).finite()) any_non_finite[c] = true;
    }
  }
  int channels[kChannels], used = 0;
  std::optional<NonFiniteSquares> non_finite[kChannels];
  for (int c = 0; c < kChannels; ++c) {
    if (active[c]) {
      channels[used++] = c;
      if (any_non_finite[c]) non_finite[c].emplace(f, l, e.x[c]);
    } else if (e.x[c] != nullptr) {
      for (int i = f; i <= l; ++i) e.x[c][i] = 0;
    }
  }
  // Whether some channel's window [low, i] holds a square that is not finite.
  auto decided = [&](int low, int i) {
    for (int k = 0; k < used; ++k) {
      const std::optional<NonFiniteSquares>& bad = non_finite[channels[k]];
      if (bad && bad->in_window(low, i)) return true;
    }
    return false;
  };
  // The first sample of the window of i; with rising time stamps it only moves down as i does.
  auto window_start = [&](int i, int low) {
    while (low > f && samples.time[i] - samples.time[low - 1] <= rms_time) --low;
    return low;
  };
  int low = l;
  for (int i = l; i >= f;) {
    // Up to kGroup windows, of samples i, i - 1, ..., side by side: each square is loaded once
    // for all of them, and their sums proceed independently.
    int lows[kGroup];
    int m = 0;
    for (; m < kGroup && i - m >= f; ++m) {
      low = window_start(i - m, low > i - m ? i - m : low);
      if (decided(low, i - m)) break;
      lows[m] = low;
    }
    if (m > 0) {
      for (int k = 0; k < used; ++k) {
        long double* column = e.x[channels[k]];
        smooth_group(column, column, i, lows, m);
      }
      i -= m;
      continue;
    }
    const int n = i - low + 1;
    for (int k = 0; k < used; ++k) {
      const int c = channels[k];
      long double* squares = e.x[c];
      if (non_finite[c] && non_finite[c]->in_window(low, i)) {
        squares[i] = non_finite[c]->decided_sum(low, i);
      } else {
        long double sum = 0;
        for (int j = i; j >= low; --j) sum += squares[j];
        squares[i] = std::sqrt(sum / n);
      }
    }
    --i;
  }
}

// Mean of the smoothed values over the window that starts at s and spans `span` ms, summed from s
// forward, into mean[]; `last` is the window's last sample. Returns false when the window holds
// no sample (only a negative span).
bool window_mean(const ExperimentEmg& e, int s, long long span, long double mean[kChannels],
                 int& last) {
  long double sum[kChannels] = {0, 0, 0, 0};
  int n = 0;
  for (int k = s; k <= e.l && elapsed(samples.time[k], samples.time[s]) <= span; ++k) {
    for (int c = 0; c < kChannels; ++c) sum[c] += e.value(c, k);
    ++n;
  }
  if (n == 0) return false;
  for (int c = 0; c < kChannels; ++c) mean[c] = sum[c] / n;
  last = s + n - 1;
  return true;
}

// Window by window: the smallest mean over windows of nl_time ms that fit into the experiment
// and start at least rms_time ms after its first sample (where the smoothing window was still
// short), and the first window that has it.
void noise_level_window_by_window(Track& track, const ExperimentEmg& e, long long rms_time,
                                  long long nl_time) {
  const int f = e.f, l = e.l;
  for (int c = 0; c < kChannels; ++c) {
    track.*kChannelNl[c] = kNoNoiseLevel;
    track.nl_window[c] = {false, 0, 0};
  }
  for (int s = f; s <= l; ++s) {
    if (!(elapsed(samples.time[l], samples.time[s]) >= nl_time && samples.time[s] >= rms_time)) {
      continue;
    }
    long double mean[kChannels];
    int last = s;
    if (!window_mean(e, s, nl_time, mean, last)) continue;
    for (int c = 0; c < kChannels; ++c) {
      if (mean[c] < track.*kChannelNl[c]) {
        track.*kChannelNl[c] = mean[c];
        track.nl_window[c] = {true, s, last};
      }
    }
  }
}

// Window by window: the largest mean over windows of mvc_time ms that fit into the experiment,
// and the first window that has it.
void mvc_window_by_window(Track& track, const ExperimentEmg& e, long long mvc_time) {
  const int f = e.f, l = e.l;
  for (int c = 0; c < kChannels; ++c) {
    track.*kChannelMvc[c] = 0;
    track.mvc_window[c] = {false, 0, 0};
  }
  for (int s = f; s <= l; ++s) {
    if (!(elapsed(samples.time[l], samples.time[s]) >= mvc_time)) continue;
    long double mean[kChannels];
    int last = s;
    if (!window_mean(e, s, mvc_time, mean, last)) continue;
    for (int c = 0; c < kChannels; ++c) {
      if (mean[c] > track.*kChannelMvc[c]) {
        track.*kChannelMvc[c] = mean[c];
        track.mvc_window[c] = {true, s, last};
      }
    }
  }
}

// The same values and windows, faster, where the bounded running sum applies to every channel of
// the experiment.
void noise_level(Track& track, const ExperimentEmg& e, const ChannelValues* values,
                 long long rms_time, long long nl_time) {
  std::optional<WindowMean> level[kChannels];
  for (int c = 0; c < kChannels; ++c) {
    level[c] = smallest_window_mean(values[c], nl_time, rms_time, kNoNoiseLevel);
    if (!level[c]) return noise_level_window_by_window(track, e, rms_time, nl_time);
  }
  for (int c = 0; c < kChannels; ++c) {
    track.*kChannelNl[c] = level[c]->value;
    track.nl_window[c] = level[c]->window;
  }
}

void mvc(Track& track, const ExperimentEmg& e, const ChannelValues* values, long long mvc_time) {
  std::optional<WindowMean> level[kChannels];
  for (int c = 0; c < kChannels; ++c) {
    level[c] = largest_window_mean(values[c], mvc_time, 0);
    if (!level[c]) return mvc_window_by_window(track, e, mvc_time);
  }
  for (int c = 0; c < kChannels; ++c) {
    track.*kChannelMvc[c] = level[c]->value;
    track.mvc_window[c] = level[c]->window;
  }
}

// The running integral of every active stretch, over samples f+1 to l-1 (the first and the last
// sample have no predecessor or successor for the time step and stay 0); then each burst's total
// (the integral at its last sample) copied back over the burst. Kept as the stretches of equal
// values other than +0, made in one pass: the copying back gives each run of positive integrals
// the value of its last, so such a run is one stretch, known where it ends.
void integrate_bursts(const Track& track, const ExperimentEmg& e, long double emg_threshold) {
  const int f = e.f, l = e.l;
  const long long* t = samples.time.data();
  const ExtendedBits zero = ExtendedBits::of(0.0L);
  for (int c = 0; c < kChannels; ++c) {
    const long double* x = e.x[c];
    if (x == nullptr) continue;  // every integral is +0
    const long double level = activity_level(emg_threshold, *kRunMvc[c], track.*kChannelNl[c]);
    std::vector<BurstStretch>& stretches = samples.bursts[c];
    long double integral = 0;  // at the sample before
    int run = -1;              // the first sample of the run of positive integrals, if one is open
    long double run_total = 0;
    const auto close_run = [&](int last) {
      if (run >= 0) stretches.push_back({run, last, run_total});
      run = -1;
    };
    for (int i = f + 1; i <= l - 1; ++i) {
      if (!(x[i] >= level)) {
        integral = 0;
        close_run(i - 1);
        continue;
      }
      integral = integral + x[i] * elapsed_value(t[i + 1], t[i - 1]) / 2;
      if (integral > 0) {
        if (run < 0) run = i;
        run_total = integral;
        continue;
      }
      close_run(i - 1);
      // Not positive: +0, -0, negative (time stamps that fall) or not a number; not copied back.
      const ExtendedBits bits = ExtendedBits::of(integral);
      if (bits == zero) continue;
      if (!stretches.empty() && stretches.back().last == i - 1 &&
          ExtendedBits::of(stretches.back().value) == bits) {
        stretches.back().last = i;
      } else {
        stretches.push_back({i, i, integral});
      }
    }
    close_run(l - 1);
  }
}

}  // namespace

EmgConditioning::EmgConditioning(long long rms_time, long long mvc_time, long long nl_time,
                                 long double emg_threshold)
    : rms_time_(rms_time), mvc_time_(mvc_time), nl_time_(nl_time), emg_threshold_(emg_threshold) {
  for (std::vector<BurstStretch>& stretches : samples.bursts) stretches.clear();
}

void EmgConditioning::experiment(int t) {
  const ExperimentEmg e = experiment_emg(t);
  smooth(e, rms_time_);
  static ChannelValues values[kChannels];  // their conversions' room kept from one to the next
  for (int c = 0; c < kChannels; ++c) prepare_channel(values[c], e.f, e.l, e.x[c]);
  noise_level(tracks[t], e, values, rms_time_, nl_time_);
  mvc(tracks[t], e, values, mvc_time_);
  if (t >= kLastMvcExperiment) integrate_through(t);
}

void EmgConditioning::finish() {
  for (int c = 0; c < kChannels; ++c) *kRunNl[c] = kNoNoiseLevel;
  for (int k = kFirstChewingTrial; k < no_tracks; ++k) {
    for (int c = 0; c < kChannels; ++c) {
      if (tracks[k].*kChannelNl[c] < *kRunNl[c]) *kRunNl[c] = tracks[k].*kChannelNl[c];
    }
  }
  integrate_through(no_tracks - 1);
}

void EmgConditioning::integrate_through(int t) {
  if (!run_mvc_known_) {
    // Both MVC experiments always, whatever no_tracks: a missing experiment holds zeros. The
    // run-wide MVC is raised from the store's initial 0 and never reset.
    for (int k : kMvcExperiments) {
      for (int c = 0; c < kChannels; ++c) {
        if (tracks[k].*kChannelMvc[c] > *kRunMvc[c]) *kRunMvc[c] = tracks[k].*kChannelMvc[c];
      }
    }
    run_mvc_known_ = true;
  }
  for (; integrated_ <= t; ++integrated_)
    integrate_bursts(tracks[integrated_], experiment_emg(integrated_), emg_threshold_);
}

void preprocessing_emg(long long rms_time, long long mvc_time, long long nl_time,
                       long double emg_threshold) {
  EmgConditioning conditioning(rms_time, mvc_time, nl_time, emg_threshold);
  for (int t = 0; t < no_tracks; ++t) conditioning.experiment(t);
  conditioning.finish();
}
