#include "analysis/cycles.h"

#include <cstdint>

#include "recording/store.h"

namespace {

constexpr std::uint8_t kRose = 1, kFell = 2;  // Incisal_dir
constexpr int kFirstChewingTrial = 12;        // cycles are confirmed from this position on

// Turning points and upward threshold crossings of one experiment.
void mark_turning_points(Track& track, long double thr) {
  const int f = track.first_entry, l = track.last_entry;
  track.no_cycles = 0;
  for (int i = f; i <= l - 1; ++i) {
    Entry& e = entries[i];
    const Entry& next = entries[i + 1];
    e.cycle_status = 0;
    if (e.Incisal_dist <= thr && next.Incisal_dist > thr) ++track.no_cycles;
    if (e.Incisal_dir == kFell && next.Incisal_dir == kRose) {
      // i is the last sample of a minimum; its first one ends the run of exactly equal values.
      int k = i;
      while (k > f && entries[k - 1].Incisal_dist == e.Incisal_dist) --k;
      entries[k].cycle_status |= min_start;
    }
    if (e.Incisal_dir == kRose && next.Incisal_dir == kFell) e.cycle_status |= max_end;
  }
  entries[l].cycle_status = 0;
}

}  // namespace

void compute_cycles(long double dist_threshold) {
  for (int t = 0; t < no_tracks; ++t) mark_turning_points(tracks[t], dist_threshold);
  for (int t = kFirstChewingTrial; t < no_tracks; ++t) {
    Track& track = tracks[t];
    track.no_chewing_cycles = 0;
    for_each_chewing_cycle(track, dist_threshold, [&](int, int, const long double* burst_max) {
      if (confirmed_by_masseters(burst_max)) ++track.no_chewing_cycles;
    });
  }
}
