#include "analysis/distances.h"

#include "protocol/protocol.h"
#include "recording/store.h"

namespace {

// Each point's experiment maximum and run-wide maximum, in the points' order.
long double Track::*const kTrackMax[kPoints] = {
    &Track::Right_max, &Track::Left_max, &Track::Incisal_max, &Track::UK6_1_max, &Track::UK6_2_max};
long double* const kRunMax[kPoints] = {&Right_max, &Left_max, &Incisal_max, &UK6_1_max, &UK6_2_max};

}  // namespace

void preprocessing_distances() {
  // The reader measured every sample's positions from the calibration as it read them.
  for (int t = 0; t < no_tracks; ++t)
    for (int p = 0; p < kPoints; ++p) tracks[t].*kTrackMax[p] = distance_max[t][p];

  // Run-wide maxima from the maximal openings only, raised from the store's initial 0.
  for (int k : kMaximalOpenings) {
    for (int p = 0; p < kPoints; ++p) {
      if (tracks[k].*kTrackMax[p] > *kRunMax[p]) *kRunMax[p] = tracks[k].*kTrackMax[p];
    }
  }

  // Direction against the previous sample; an equal (or incomparable) value keeps the direction.
  const std::vector<long double>& dist = samples.incisal_dist;
  std::vector<std::uint8_t>& dir = samples.incisal_dir;
  for (int t = 0; t < no_tracks; ++t) {
    const int f = tracks[t].first_entry, l = tracks[t].last_entry;
    dir[f] = kNoDirection;
    for (int i = f + 1; i <= l; ++i) {
      if (dist[i] > dist[i - 1]) {
        dir[i] = kRose;
      } else if (dist[i - 1] > dist[i]) {
        dir[i] = kFell;
      } else {
        dir[i] = dir[i - 1];
      }
    }
  }
}
