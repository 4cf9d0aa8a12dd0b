// Chewing-cycle recognition over the incisal distance.
//
// Reads  entries[].Incisal_dist (mm), Incisal_dir, Channel1_burst/Channel2_burst (uV*ms),
//        the run-wide Channel1_mvc/Channel2_mvc (uV), tracks[].first_entry/last_entry.
// Writes entries[].cycle_status, tracks[].no_cycles, tracks[].no_chewing_cycles.
#pragma once

void compute_cycles(long double dist_threshold /* mm */);

#include "recording/store.h"

// The chewing cycles of one experiment, in order. A cycle opens at a sample marked max_end
// whose Incisal_dist is at or above dist_threshold and closes at the next sample marked
// min_start whose Incisal_dist is below it; a max_end inside a cycle does not restart it, and a
// cycle still open at the experiment's end is none. Calls visit(open, close, burst_max) for each,
// with every channel's largest burst integral over samples open+1..close (uV*ms; index 0 unused,
// 0 where no integral is positive). Requires compute_cycles to have marked the samples.
template <typename Visit>
void for_each_chewing_cycle(const Track& track, long double dist_threshold, Visit&& visit) {
  bool in_cycle = false;
  int open = 0;
  long double m[5] = {0, 0, 0, 0, 0};
  for (int i = track.first_entry; i <= track.last_entry; ++i) {
    const Entry& e = entries[i];
    if (!in_cycle) {
      // The opening sample's integrals stay out of the cycle.
      if ((e.cycle_status & max_end) && e.Incisal_dist >= dist_threshold) {
        m[1] = m[2] = m[3] = m[4] = 0;
        open = i;
        in_cycle = true;
      }
      continue;
    }
    // The closing sample's integrals count.
    if (e.Channel1_burst > m[1]) m[1] = e.Channel1_burst;
    if (e.Channel2_burst > m[2]) m[2] = e.Channel2_burst;
    if (e.Channel3_burst > m[3]) m[3] = e.Channel3_burst;
    if (e.Channel4_burst > m[4]) m[4] = e.Channel4_burst;
    if ((e.cycle_status & min_start) && e.Incisal_dist < dist_threshold) {
      visit(open, i, static_cast<const long double*>(m));
      in_cycle = false;
    }
  }
}

// Whether a cycle with these burst maxima is a chewing cycle: either masseter exceeds 10 times
// its run-wide MVC (in uV*ms: 10 ms of activity at MVC level).
inline bool confirmed_by_masseters(const long double* burst_max) {
  return burst_max[1] > 10 * Channel1_mvc || burst_max[2] > 10 * Channel2_mvc;
}
