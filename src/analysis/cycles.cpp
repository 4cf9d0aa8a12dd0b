#include "analysis/cycles.h"

#include <cstdint>
#include <vector>

#include "protocol/protocol.h"
#include "recording/store.h"

namespace {

// Turning points and upward threshold crossings of one experiment.
void mark_turning_points(Track& track, long double thr) {
  const int f = track.first_entry, l = track.last_entry;
  track.no_cycles = 0;
  for (int i = f; i <= l - 1; ++i) {
    samples.cycle_status[i] = 0;
    if (samples.incisal_dist[i] <= thr && samples.incisal_dist[i + 1] > thr) ++track.no_cycles;
    if (samples.incisal_dir[i] == kFell && samples.incisal_dir[i + 1] == kRose) {
      // i is the last sample of a minimum; its first one ends the run of exactly equal values.
      int k = i;
      while (k > f && samples.incisal_dist[k - 1] == samples.incisal_dist[i]) --k;
      samples.cycle_status[k] |= min_start;
    }
    if (samples.incisal_dir[i] == kRose && samples.incisal_dir[i + 1] == kFell)
      samples.cycle_status[i] |= max_end;
  }
  samples.cycle_status[l] = 0;
}

}  // namespace

std::vector<ChewingCycle> walk_chewing_cycles(const Track& track, long double dist_threshold) {
  std::vector<ChewingCycle> cycles;
  bool in_cycle = false;
  ChewingCycle cycle{};
  for (int i = track.first_entry; i <= track.last_entry; ++i) {
    if (!in_cycle) {
      // The opening sample's integrals stay out of the cycle.
      if ((samples.cycle_status[i] & max_end) && samples.incisal_dist[i] >= dist_threshold) {
        cycle = ChewingCycle{};
        cycle.start = i;
        in_cycle = true;
      }
      continue;
    }
    // The closing sample's integrals count.
    if ((samples.cycle_status[i] & min_start) && samples.incisal_dist[i] < dist_threshold) {
      cycle.end = i;
      for (int c = 0; c < kChannels; ++c)
        cycle.burst_max[c] = raise_by_bursts(c, cycle.start + 1, i, cycle.burst_max[c]);
      cycle.confirmed = confirmed_by_masseters(cycle.burst_max);
      cycles.push_back(cycle);
      in_cycle = false;
    }
  }
  return cycles;
}

// Whether a cycle with these burst maxima is a chewing cycle: either masseter exceeds 10 times
// its run-wide MVC (in uV*ms: 10 ms of activity at MVC level).
bool confirmed_by_masseters(const long double* burst_max) {
  return burst_max[0] > kConfirmationFactor * Channel1_mvc ||
         burst_max[1] > kConfirmationFactor * Channel2_mvc;
}

int confirmed_count(const std::vector<ChewingCycle>& cycles) {
  int confirmed = 0;
  for (const ChewingCycle& cycle : cycles)
    if (cycle.confirmed) ++confirmed;
  return confirmed;
}

void compute_cycles(long double dist_threshold) {
  for (int t = 0; t < no_tracks; ++t) mark_turning_points(tracks[t], dist_threshold);
  for (std::vector<ChewingCycle>& cycles : chewing_cycles) cycles.clear();
  for (int t = kFirstChewingTrial; t < no_tracks; ++t) {
    Track& track = tracks[t];
    chewing_cycles[t] = walk_chewing_cycles(track, dist_threshold);
    track.no_chewing_cycles = confirmed_count(chewing_cycles[t]);
  }
}
