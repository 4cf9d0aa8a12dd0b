#include "analysis/cycles.h"

#include <cstdint>
#include <vector>

#include "recording/protocol.h"
#include "recording/store.h"

namespace {

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

// Whether a cycle with these burst maxima is a chewing cycle: either masseter exceeds 10 times
// its run-wide MVC (in uV*ms: 10 ms of activity at MVC level).
bool confirmed_by_masseters(const long double* burst_max) {
  return burst_max[0] > 10 * Channel1_mvc || burst_max[1] > 10 * Channel2_mvc;
}

}  // namespace

std::vector<ChewingCycle> walk_chewing_cycles(const Track& track, long double dist_threshold) {
  std::vector<ChewingCycle> cycles;
  bool in_cycle = false;
  ChewingCycle cycle{};
  for (int i = track.first_entry; i <= track.last_entry; ++i) {
    const Entry& e = entries[i];
    if (!in_cycle) {
      // The opening sample's integrals stay out of the cycle.
      if ((e.cycle_status & max_end) && e.Incisal_dist >= dist_threshold) {
        cycle = ChewingCycle{};
        cycle.start = i;
        in_cycle = true;
      }
      continue;
    }
    // The closing sample's integrals count.
    for (int c = 0; c < kChannels; ++c)
      if (e.*kChannelBurst[c] > cycle.burst_max[c]) cycle.burst_max[c] = e.*kChannelBurst[c];
    if ((e.cycle_status & min_start) && e.Incisal_dist < dist_threshold) {
      cycle.end = i;
      cycle.confirmed = confirmed_by_masseters(cycle.burst_max);
      cycles.push_back(cycle);
      in_cycle = false;
    }
  }
  return cycles;
}

void compute_cycles(long double dist_threshold) {
  for (int t = 0; t < no_tracks; ++t) mark_turning_points(tracks[t], dist_threshold);
  for (std::vector<ChewingCycle>& cycles : chewing_cycles) cycles.clear();
  for (int t = kFirstChewingTrial; t < no_tracks; ++t) {
    Track& track = tracks[t];
    chewing_cycles[t] = walk_chewing_cycles(track, dist_threshold);
    track.no_chewing_cycles = 0;
    for (const ChewingCycle& cycle : chewing_cycles[t])
      if (cycle.confirmed) ++track.no_chewing_cycles;
  }
}
