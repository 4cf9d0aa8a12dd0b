#include "analysis/window_means.h"

#include <cmath>
#include <limits>

namespace {

// 2^-60: sixteen units in the last place of the 64-bit mantissa, a generous allowance for every
// rounding of the running sum, of the bounds themselves and of the exact sum they stand for.
constexpr long double kUlp = 0x1p-60L;
constexpr long double kLargest = std::numeric_limits<long double>::max();

struct Bounds {
  long double low, high;  // the exact windowed mean lies between them
};

enum class Extreme { largest, smallest };

// Walks the qualifying starts with a running window sum; calls visit(s, end, bounds) for each.
// False when the experiment is not one the bounds hold for.
template <typename Visit>
bool walk_windows(int l, long double Entry::*channel, long long span, int first, int last,
                  Visit&& visit) {
  long double sum = 0, error = 0;  // |sum - exact sum of the window| <= error
  int end = first - 1;
  for (int s = first; s <= last; ++s) {
    if (s > first) {
      sum -= entries[s - 1].*channel;
      error += std::fabs(sum) * kUlp;
    }
    while (end < l && entries[end + 1].time - entries[s].time <= span) {
      ++end;
      sum += entries[end].*channel;
      error += std::fabs(sum) * kUlp;
    }
    if (end < s) continue;  // cannot happen with rising time stamps and span >= 0
    const long double count = static_cast<long double>(end - s + 1);
    // The sequential sum of n values differs from their exact sum by at most (n - 1) units of
    // rounding of that sum; the division adds one more.
    const long double slack = (count + 4) * kUlp;
    visit(s, end, Bounds{(sum - error) / count * (1 - slack), (sum + error) / count * (1 + slack)});
  }
  return std::isfinite(error);
}

long double exact_mean(int s, int end, long double Entry::*channel) {
  long double sum = 0;
  for (int n = s; n <= end; ++n) sum += entries[n].*channel;
  return sum / (end - s + 1);
}

// Whether every time stamp of the experiment is at least the one before it, and every value of
// the channel finite and not negative. Also tells whether all values are zero.
bool well_formed(int f, int l, long double Entry::*channel, bool& all_zero) {
  all_zero = true;
  for (int i = f; i <= l; ++i) {
    const long double x = entries[i].*channel;
    if (!(x >= 0 && x <= kLargest)) return false;  // also false for not-a-number
    if (x != 0) all_zero = false;
    if (i > f && entries[i].time < entries[i - 1].time) return false;
  }
  return true;
}

std::optional<WindowMean> extreme_window_mean(Extreme extreme, int f, int l,
                                              long double Entry::*channel, long long span,
                                              long long earliest, bool use_earliest,
                                              long double initial) {
  bool all_zero = false;
  if (span < 0 || !well_formed(f, l, channel, all_zero)) return std::nullopt;
  // Differences of time stamps and spans must stay far from the 64-bit limits.
  constexpr long long kLimit = 1LL << 61;
  if (entries[f].time < -kLimit || entries[l].time > kLimit || span > kLimit) return std::nullopt;
  // Time stamps do not fall, so the qualifying starts form one contiguous stretch: the window
  // fits while t[l] - t[s] >= span, and t[s] >= earliest from some sample on.
  int first = f, last = l;
  while (last >= f && !(entries[l].time - entries[last].time >= span)) --last;
  if (use_earliest)
    while (first <= last && !(entries[first].time >= earliest)) ++first;
  const WindowMean none = {initial, {false, 0, 0}};
  if (first > last) return none;
  if (all_zero) {
    // Every window's mean is exactly +0; the first window has it.
    const long double zero = 0;
    if (!(extreme == Extreme::largest ? zero > initial : zero < initial)) return none;
    int end = first;
    while (end < l && entries[end + 1].time - entries[first].time <= span) ++end;
    return WindowMean{zero, {true, first, end}};
  }

  // First walk: the threshold no extreme can fall short of (beyond) that some window reaches.
  long double threshold = initial;
  bool have_bound = false;
  long double best_bound = 0;
  if (!walk_windows(l, channel, span, first, last, [&](int, int, Bounds b) {
        const long double bound = extreme == Extreme::largest ? b.low : b.high;
        if (!have_bound || (extreme == Extreme::largest ? bound > best_bound : bound < best_bound))
          best_bound = bound, have_bound = true;
      }))
    return std::nullopt;
  if (have_bound && (extreme == Extreme::largest ? best_bound > threshold : best_bound < threshold))
    threshold = best_bound;

  // Second walk: only the windows that may reach the threshold are summed exactly, in order, so
  // the window kept is the first with the extreme mean.
  WindowMean result = none;
  walk_windows(l, channel, span, first, last, [&](int s, int end, Bounds b) {
    if (extreme == Extreme::largest ? b.high < threshold : b.low > threshold) return;
    const long double mean = exact_mean(s, end, channel);
    if (extreme == Extreme::largest ? mean > result.value : mean < result.value)
      result = {mean, {true, s, end}};
  });
  return result;
}

}  // namespace

std::optional<WindowMean> largest_window_mean(int f, int l, long double Entry::*channel,
                                              long long span, long double initial) {
  return extreme_window_mean(Extreme::largest, f, l, channel, span, 0, false, initial);
}

std::optional<WindowMean> smallest_window_mean(int f, int l, long double Entry::*channel,
                                               long long span, long long earliest,
                                               long double initial) {
  return extreme_window_mean(Extreme::smallest, f, l, channel, span, earliest, true, initial);
}
