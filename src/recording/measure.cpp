#include "recording/measure.h"

#include <cstdint>
#include <cstring>

namespace {

// Whether a value is NaN or infinite, from its exponent's bits (all ones), without an operation of
// the floating-point unit: nearly every sample has none, and fifteen checks a sample add up.
bool non_finite(const long double& value) {
  std::uint16_t sign_exponent;
  std::memcpy(&sign_exponent, reinterpret_cast<const char*>(&value) + 8, sizeof sign_exponent);
  return (sign_exponent & 0x7fff) == 0x7fff;
}

}  // namespace

void gather_raw_positions(int t, int sample, const long double (&raw)[kPositionFields],
                          unsigned changed, int pairs) {
  RawPositions& x = raw_positions[t];
  bool any = false;
  for (const long double& value : raw) any |= non_finite(value);
  for (int field = 0; any && field < kPositionFields; ++field) {
    if (!non_finite(raw[field])) continue;
    if (x.non_finite[field]++ == 0) x.first_non_finite[field] = sample;
  }
  for (int p = 0; p < pairs; ++p) {
    if ((changed & ((1u << kPairs[p].a) | (1u << kPairs[p].b))) == 0) continue;
    const int a = 3 * kPairs[p].a, b = 3 * kPairs[p].b;
    const long double dx = raw[a] - raw[b], dy = raw[a + 1] - raw[b + 1],
                      dz = raw[a + 2] - raw[b + 2];
    // The square stands for the distance until take_pair_distances(): the square root rounds
    // monotonically, so the root of the smallest (largest) square is the smallest (largest)
    // distance, and one root per experiment replaces one per sample.
    const long double square = (dx * dx + dy * dy) + dz * dz;
    if (!std::isfinite(square)) continue;
    if (!x.pair_seen[p] || square < x.pair_min[p]) x.pair_min[p] = square;
    if (!x.pair_seen[p] || square > x.pair_max[p]) x.pair_max[p] = square;
    x.pair_seen[p] = true;
  }
}

void take_pair_distances() {
  for (RawPositions& x : raw_positions)
    for (int p = 0; p < kPointPairs; ++p) {
      if (!x.pair_seen[p]) continue;
      x.pair_min[p] = std::sqrt(x.pair_min[p]);
      x.pair_max[p] = std::sqrt(x.pair_max[p]);
    }
}

void SampleMeasures::take_maxima() const {
  for (int t = 0; t < kMaxTracks; ++t)
    for (int p = 0; p < kPoints; ++p) distance_max[t][p] = std::sqrt(largest_square_[t][p]);
}
