#include "analysis/strokes.h"

#include <algorithm>
#include <cmath>

#include "protocol/protocol.h"

namespace {

// A stroke as the walk finds it: the last sample of the minimum before its rise, its peak.
struct Turn {
  int low, peak;
};

// Alternates between looking for a minimum and for a maximum: a rise of `smallest` mm from the
// minimum starts a stroke, a fall of more than kClosingShare of its opening ends its peak.
// Samples whose distance is not finite are passed over.
std::vector<Turn> walk(const long double* d, int first, int last, long double smallest) {
  std::vector<Turn> turns;
  int low = first;
  while (low < last && !std::isfinite(d[low])) ++low;
  int high = low;
  bool rising = false;
  for (int i = low + 1; i <= last; ++i) {
    if (!std::isfinite(d[i])) continue;
    if (!rising) {
      if (d[i] <= d[low]) {
        low = i;  // the last sample of a minimum: where the rise leaves it
      } else if (d[i] - d[low] >= smallest) {
        rising = true;
        high = i;
      }
    } else if (d[i] >= d[high]) {
      high = i;
    } else if (d[high] - d[i] > kClosingShare * (d[high] - d[low])) {
      turns.push_back({low, high});
      rising = false;
      low = i;
    }
  }
  return turns;
}

long double median_opening(const long double* d, const std::vector<Turn>& turns) {
  std::vector<long double> openings;
  for (const Turn& t : turns) openings.push_back(d[t.peak] - d[t.low]);
  std::sort(openings.begin(), openings.end());
  const std::size_t n = openings.size();
  return n % 2 ? openings[n / 2] : (openings[n / 2 - 1] + openings[n / 2]) / 2;
}

// Whether the distance changes slower than kStillSpeed_mm_per_s from sample `from` to `to`
// (`to` later in the file): `sign` +1 asks about a rise, -1 about a fall. Steps whose time does
// not move forward are no measure of speed.
bool still(const long double* d, const long long* time, int from, int to, int sign) {
  const __int128 ms = elapsed(time[to], time[from]);
  if (ms <= 0) return false;
  return (sign * (d[to] - d[from])) * 1000 < kStillSpeed_mm_per_s * static_cast<long double>(ms);
}

// For every sample j of first..last, the first sample at least kSpeedSpan_ms after it (after[j])
// and the last one at least that much before it (before[j]); -1 where there is none.
struct Spans {
  std::vector<int> after, before;
};
Spans spans_of(const long long* time, int first, int last) {
  const int n = last - first + 1;
  Spans s{std::vector<int>(n, -1), std::vector<int>(n, -1)};
  int k = first;
  for (int j = first; j <= last; ++j) {
    if (k <= j) k = j + 1;
    while (k <= last && elapsed(time[k], time[j]) < kSpeedSpan_ms) ++k;
    if (k <= last) s.after[j - first] = k;
  }
  k = last;
  for (int j = last; j >= first; --j) {
    if (k >= j) k = j - 1;
    while (k >= first && elapsed(time[j], time[k]) < kSpeedSpan_ms) --k;
    if (k >= first) s.before[j - first] = k;
  }
  return s;
}

}  // namespace

std::vector<StrokeBounds> find_strokes(const long double* d, const long long* time, int first,
                                       int last) {
  std::vector<Turn> turns = walk(d, first, last, kSmallestOpening_mm);
  if (turns.empty()) return {};
  const long double relative = kSmallestOpeningShare * median_opening(d, turns);
  for (const Turn& t : turns) {
    if (d[t.peak] - d[t.low] < relative) {
      turns = walk(d, first, last, relative);
      break;
    }
  }
  const Spans spans = spans_of(time, first, last);
  std::vector<StrokeBounds> strokes;
  for (std::size_t k = 0; k < turns.size(); ++k) {
    const Turn& t = turns[k];
    StrokeBounds s;
    s.peak = t.peak;
    // The closing minimum: the first sample of the lowest distance up to the next rise.
    const int to = k + 1 < turns.size() ? turns[k + 1].low : last;
    s.closing_min = t.peak;
    for (int i = t.peak + 1; i <= to; ++i)
      if (d[i] < d[s.closing_min]) s.closing_min = i;
    // Occlusion: the first sample, low in the closing, from which the jaw no longer closes fast.
    const long double low_close = d[s.closing_min] + kStillBand * (d[t.peak] - d[s.closing_min]);
    s.occlusion = s.closing_min;
    for (int j = t.peak; j < s.closing_min; ++j) {
      const int after = spans.after[j - first];
      if (d[j] <= low_close && (after < 0 || still(d, time, j, after, -1))) {
        s.occlusion = j;
        break;
      }
    }
    // Opening start: the last sample, low in the opening, before which the jaw did not rise fast.
    const long double low_open = d[t.low] + kStillBand * (d[t.peak] - d[t.low]);
    s.opening_start = t.low;
    for (int j = t.peak - 1; j > t.low; --j) {
      const int before = spans.before[j - first];
      if (d[j] <= low_open && (before < 0 || still(d, time, before, j, +1))) {
        s.opening_start = j;
        break;
      }
    }
    strokes.push_back(s);
  }
  return strokes;
}
