#include "analysis/window_means.h"

#include <cmath>
#include <limits>
#include <map>
#include <utility>
#include <vector>

#include "analysis/extended_bits.h"

namespace {

// 2^-60: sixteen units in the last place of the 64-bit mantissa, a generous allowance for every
// rounding of the running sum, of the bounds themselves and of the exact sum they stand for.
constexpr long double kUlp = 0x1p-60L;
constexpr long double kInfinity = std::numeric_limits<long double>::infinity();

struct Bounds {
  long double low, high;  // the exact windowed mean lies between them
};

enum class Extreme { largest, smallest };

// A window's share of the values that are not finite. A not-a-number makes its mean not a number,
// which no strict comparison picks; an infinity (values are not negative) makes it +infinity.
struct NonFinite {
  int nan = 0, infinite = 0;
  void count(ExtendedBits x, int by) {
    if (x.nan())
      nan += by;
    else if (x.infinite())
      infinite += by;
  }
  bool any() const { return nan > 0 || infinite > 0; }
};

// Walks the qualifying starts with a running sum of the window's finite values; calls
// visit(s, end, bounds, non_finite) for each. False when the bounds do not hold (the running sum
// overflowed).
template <typename Visit>
bool walk_windows(int l, const long double* channel, long long span, int first, int last,
                  Visit&& visit) {
  long double sum = 0, error = 0;  // |sum - exact sum of the window's finite values| <= error
  NonFinite window;
  int end = first - 1;
  int count = 0;  // samples in the window, which the factors below are for
  long double low_factor = 0, high_factor = 0;
  for (int s = first; s <= last; ++s) {
    if (s > first) {
      const long double& leaving = channel[s - 1];
      if (ExtendedBits::of(leaving).finite()) {
        sum -= leaving;
        error += std::fabs(sum) * kUlp;
      } else {
        window.count(ExtendedBits::of(leaving), -1);
      }
    }
    while (end < l && samples.time[end + 1] - samples.time[s] <= span) {
      ++end;
      const long double& entering = channel[end];
      if (ExtendedBits::of(entering).finite()) {
        sum += entering;
        error += std::fabs(sum) * kUlp;
      } else {
        window.count(ExtendedBits::of(entering), 1);
      }
    }
    if (end < s) continue;  // cannot happen with rising time stamps and span >= 0
    if (end - s + 1 != count) {
      count = end - s + 1;
      // The sequential sum of n values differs from their exact sum by at most (n - 1) units of
      // rounding of that sum; dividing by multiplying with the rounded reciprocal adds two more.
      const long double n = static_cast<long double>(count);
      const long double reciprocal = 1 / n;
      low_factor = reciprocal * (1 - (n + 4) * kUlp);
      high_factor = reciprocal * (1 + (n + 4) * kUlp);
    }
    visit(s, end, Bounds{(sum - error) * low_factor, (sum + error) * high_factor}, window);
  }
  return std::isfinite(error);
}

// Exact means of windows, summed from their start. A window inside a run of one value has the
// mean of that many copies of it, whatever the run's position: such means are summed once per
// value and count. The runs are found only once more than a few windows need summing, which
// happens where many windows come close to the extreme (a constant signal).
class ExactMeans {
 public:
  ExactMeans(int f, int l, const long double* channel) : f_(f), l_(l), channel_(channel) {}

  long double operator()(int s, int end) {
    if (++asked_ == kSummedBeforeRuns) find_runs();
    if (run_end_.empty() || run_end_[static_cast<std::size_t>(s - f_)] < end) return summed(s, end);
    const long double first = channel_[s];
    const int n = end - s + 1;
    const auto key = std::make_pair(ExtendedBits::of(first), n);
    const auto known = constant_means_.find(key);
    if (known != constant_means_.end()) return known->second;
    long double sum = 0;
    for (int k = 0; k < n; ++k) sum += first;
    return constant_means_[key] = sum / n;
  }

 private:
  long double summed(int s, int end) const {
    long double sum = 0;
    for (int n = s; n <= end; ++n) sum += channel_[n];
    return sum / (end - s + 1);
  }

  void find_runs() {
    run_end_.resize(static_cast<std::size_t>(l_ - f_ + 1));
    for (int i = l_; i >= f_; --i) {
      const bool continues =
          i < l_ && ExtendedBits::of(channel_[i]) == ExtendedBits::of(channel_[i + 1]);
      run_end_[static_cast<std::size_t>(i - f_)] =
          continues ? run_end_[static_cast<std::size_t>(i - f_ + 1)] : i;
    }
  }

  static constexpr int kSummedBeforeRuns = 16;
  int f_, l_;
  const long double* channel_;
  int asked_ = 0;
  std::vector<int> run_end_;  // the last sample of the run of equal values each sample is in
  std::map<std::pair<ExtendedBits, int>, long double> constant_means_;
};

// The windows that may reach the extreme, in order of their starts, each with its bound towards
// the extreme (`Bound`: double or long double). The list stays short: as the threshold moves, the
// windows it leaves behind are dropped, and a list that would grow beyond a few thousand (a
// constant signal) is given up, since walking again costs less than a long list's fresh memory.
template <typename Bound>
class Candidates {
 public:
  struct Candidate {
    int s, end;
    Bound far;
  };

  // Keeps a window; false where the list is given up. `short_of(far, threshold)` tells a window
  // that can no longer reach the extreme.
  template <typename ShortOf>
  bool keep(int s, int end, Bound far, Bound threshold, ShortOf short_of) {
    list_.push_back({s, end, far});
    if (list_.size() < prune_at_) return true;
    std::size_t kept = 0;
    for (const Candidate& c : list_)
      if (!short_of(c.far, threshold)) list_[kept++] = c;
    list_.resize(kept);
    prune_at_ = 2 * (kept > kFirstPrune ? kept : kFirstPrune);
    if (prune_at_ <= kMost) return true;
    list_.clear();
    return false;
  }
  const std::vector<Candidate>& list() const { return list_; }

 private:
  static constexpr std::size_t kFirstPrune = 1024, kMost = 4096;
  std::vector<Candidate> list_;
  std::size_t prune_at_ = kFirstPrune;
};

// The extreme found by a running sum in double precision, whose unit works far faster than the
// extended one, with a rigorous bound on every rounding (of the running sum, of the values to
// doubles and of the bounds themselves); the windows that may reach the extreme are then summed
// exactly, as the extended walk does. Nothing where a value is not finite or lies outside the
// range the doubles hold with full precision, or where more windows come close to the extreme
// than a short list keeps (values that differ below the precision of a double): the extended walk
// decides those.
template <bool largest>
std::optional<WindowMean> extreme_from_doubles(const ChannelValues& v, long long span, int first,
                                               int last, long double initial) {
  if (!v.as_doubles) return std::nullopt;
  const int f = v.f, l = v.l;
  const double total = v.total;
  const double* x = v.doubles.data() - f;  // x[i] for sample i
  const long long* t = samples.time.data();
  // One bound on |exact sum of a window's values - running sum|, and on the roundings of the
  // window's mean, for every window. The values are not negative, so every running sum is at
  // most `total` (whose own rounding the factor 1 + 2^-20 covers, as it sums fewer than 2^30
  // values). The walk makes at most 2 (l - f + 1) additions, each rounding by at most 2^-53 of
  // its result; each value converted to a double by at most 2^-53 of itself; the mean takes two
  // roundings more, and the subtraction of the bound one. Counting 2^-52 for each of them and a
  // few more leaves a factor of two to spare. kTiny covers a mean that falls below the doubles'
  // normal range, where a rounding is absolute.
  const double operations = 2.0 * (l - f + 1) + 8;
  const double bound = operations * (total * (1 + 0x1p-20)) * 0x1p-52;
  constexpr double kTiny = 0x1p-1060;
  // The walk compares in doubles: `initial` rounded away from the extreme, so that a window
  // short of it in doubles is short of it, and the best near bound so far.
  double best = static_cast<double>(initial);
  if (largest ? best > initial : best < initial)
    best = std::nextafter(best, largest ? -HUGE_VAL : HUGE_VAL);
  Candidates<double> candidates;
  auto short_of = [](double far, double limit) { return largest ? far < limit : far > limit; };
  double sum = 0;
  int end = first - 1;
  int count = 0;
  double reciprocal = 0;  // 1 / count, rounded
  for (int s = first; s <= last; ++s) {
    if (s > first) sum -= x[s - 1];
    while (end < l && t[end + 1] - t[s] <= span) sum += x[++end];
    if (end - s + 1 != count) {
      count = end - s + 1;
      reciprocal = 1.0 / count;
    }
    const double low = (sum - bound) * reciprocal - kTiny;
    const double high = (sum + bound) * reciprocal + kTiny;
    const double near = largest ? low : high, far = largest ? high : low;
    if (largest ? near > best : near < best) best = near;
    if (short_of(far, best)) continue;
    if (!candidates.keep(s, end, far, best, short_of)) return std::nullopt;
  }
  WindowMean result = {initial, {false, 0, 0}};
  ExactMeans exact(f, l, v.channel);
  for (const auto& c : candidates.list()) {
    if (short_of(c.far, best)) continue;
    const long double mean = exact(c.s, c.end);
    if (largest ? mean > result.value : mean < result.value) result = {mean, {true, c.s, c.end}};
  }
  return result;
}

std::optional<WindowMean> extreme_window_mean(Extreme extreme, const ChannelValues& v,
                                              long long span, long long earliest, bool use_earliest,
                                              long double initial) {
  if (span < 0 || !std::isfinite(initial) || !v.well_formed) return std::nullopt;
  const int f = v.f, l = v.l;
  const long double* channel = v.channel;
  // Differences of time stamps and spans must stay far from the 64-bit limits.
  if (samples.time[f] < -kTimeLimit || samples.time[l] > kTimeLimit || span > kTimeLimit)
    return std::nullopt;
  // Time stamps do not fall, so the qualifying starts form one contiguous stretch: the window
  // fits while t[l] - t[s] >= span, and t[s] >= earliest from some sample on.
  int first = f, last = l;
  while (last >= f && !(samples.time[l] - samples.time[last] >= span)) --last;
  if (use_earliest)
    while (first <= last && !(samples.time[first] >= earliest)) ++first;
  const WindowMean none = {initial, {false, 0, 0}};
  if (first > last) return none;
  if (v.all_zero) {
    // Every window's mean is exactly +0; the first window has it.
    const long double zero = 0;
    if (!(extreme == Extreme::largest ? zero > initial : zero < initial)) return none;
    int end = first;
    while (end < l && samples.time[end + 1] - samples.time[first] <= span) ++end;
    return WindowMean{zero, {true, first, end}};
  }

  if (std::optional<WindowMean> quick =
          extreme == Extreme::largest ? extreme_from_doubles<true>(v, span, first, last, initial)
                                      : extreme_from_doubles<false>(v, span, first, last, initial))
    return quick;

  // One walk: the threshold no extreme can fall short of (beyond) that some window reaches, and
  // the windows that may reach it. Windows with a value that is not finite are decided here: one
  // with not-a-number never wins, and the first with +infinity alone is the largest, above any
  // finite initial value. A window whose far bound falls short of the threshold so far (which
  // only moves towards the extreme) can never reach the final one and is not kept.
  const bool largest = extreme == Extreme::largest;
  long double threshold = initial;
  bool have_bound = false;
  long double best_bound = 0;
  WindowMean infinite = none;
  // Where the list is given up, the windows are found by a second walk.
  Candidates<long double> candidates;
  bool walk_again = false;
  auto short_of = [&](long double far, long double limit) {
    return largest ? far < limit : far > limit;
  };
  if (!walk_windows(l, channel, span, first, last, [&](int s, int end, Bounds b, NonFinite w) {
        if (w.any()) {
          if (w.nan == 0 && !infinite.window.found) infinite = {kInfinity, {true, s, end}};
          return;
        }
        const long double bound = largest ? b.low : b.high;
        if (!have_bound || (largest ? bound > best_bound : bound < best_bound)) {
          best_bound = bound, have_bound = true;
          if (largest ? best_bound > threshold : best_bound < threshold) threshold = best_bound;
        }
        const long double far = largest ? b.high : b.low;
        if (walk_again || short_of(far, threshold)) return;
        if (!candidates.keep(s, end, far, threshold, short_of)) walk_again = true;
      }))
    return std::nullopt;
  if (largest && infinite.window.found) return infinite;

  // The windows that may reach the final threshold are summed exactly, in order, so the window
  // kept is the first with the extreme mean.
  WindowMean result = none;
  ExactMeans exact(f, l, channel);
  auto take = [&](int s, int end, long double far) {
    if (short_of(far, threshold)) return;
    const long double mean = exact(s, end);
    if (largest ? mean > result.value : mean < result.value) result = {mean, {true, s, end}};
  };
  if (walk_again) {
    walk_windows(l, channel, span, first, last, [&](int s, int end, Bounds b, NonFinite w) {
      if (!w.any()) take(s, end, largest ? b.high : b.low);
    });
  } else {
    for (const auto& c : candidates.list()) take(c.s, c.end, c.far);
  }
  return result;
}

}  // namespace

// In one pass: whether every time stamp of the experiment is at least the one before it and
// every value of the channel is not negative (finite, +infinity or not a number), whether all are
// zero, and the values as doubles where every one is +0 or lies between 2^-1000 and 2^1000 (each
// then converts with a relative error of at most 2^-53), with their sum added in order.
void prepare_channel(ChannelValues& v, int f, int l, const long double* channel) {
  v.f = f;
  v.l = l;
  v.channel = channel;
  v.well_formed = false;
  v.all_zero = true;
  v.as_doubles = false;
  v.total = 0;
  const long long* t = samples.time.data();
  if (channel == nullptr) {
    for (int i = f + 1; i <= l; ++i)
      if (t[i] < t[i - 1]) return;
    v.well_formed = true;
    return;
  }
  constexpr int kBias = 16383, kReach = 1000;
  v.doubles.resize(static_cast<std::size_t>(l - f + 1));
  double* out = v.doubles.data() - f;
  bool in_range = true;
  double total = 0;
  for (int i = f; i <= l; ++i) {
    const long double& x = channel[i];
    const ExtendedBits bits = ExtendedBits::of(x);
    const int e = bits.exponent();
    if (e == 0 && bits.mantissa == 0) {
      out[i] = 0;  // +0 or -0
    } else if (e != 0 && e != 0x7fff && (bits.mantissa >> 63) != 0) {
      // a normal value, decided by its sign without the unit
      if (bits.sign_exponent & 0x8000) return;
      v.all_zero = false;
      if (e < kBias - kReach || e > kBias + kReach) in_range = false;
      if (in_range) total += out[i] = static_cast<double>(x);
    } else if (bits.nan()) {
      v.all_zero = false;
      in_range = false;
    } else {
      if (!(x >= 0)) return;
      if (x != 0) v.all_zero = false;
      in_range = false;  // a denormal or an infinity
    }
    if (i > f && t[i] < t[i - 1]) return;
  }
  v.well_formed = true;
  v.as_doubles = !v.all_zero && in_range;
  v.total = total;
}

std::optional<WindowMean> largest_window_mean(const ChannelValues& v, long long span,
                                              long double initial) {
  return extreme_window_mean(Extreme::largest, v, span, 0, false, initial);
}

std::optional<WindowMean> smallest_window_mean(const ChannelValues& v, long long span,
                                               long long earliest, long double initial) {
  return extreme_window_mean(Extreme::smallest, v, span, earliest, true, initial);
}
