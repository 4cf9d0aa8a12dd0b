#include "recording/measure.h"

void gather_raw_positions(int t, int sample, const long double (&raw)[kPositionFields],
                          unsigned changed) {
  RawPositions& x = raw_positions[t];
  for (int field = 0; field < kPositionFields; ++field) {
    if (std::isfinite(raw[field])) continue;
    if (x.non_finite[field]++ == 0) x.first_non_finite[field] = sample;
  }
  for (int p = 0; p < kPointPairs; ++p) {
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
