// The chewing cycles of one experiment, one by one, as the chewing-cycle count walks them.
//
// Reads  entries[] of the experiment: Incisal_dist (mm), time (ms), cycle_status,
//        Channel1..4_burst (uV*ms); tracks[position].first_entry/last_entry; the run-wide
//        Channel1_mvc/Channel2_mvc (uV).
#pragma once

#include <vector>

// A cycle opens at a sample marked max_end whose incisal distance is at or above the distance
// threshold and closes at the next sample marked min_start whose distance is below it; a cycle
// still open at the experiment's end is none.
struct ChewingCycle {
  int start = 0;                  // sample index of the opening max_end
  int end = 0;                    // sample index of the closing min_start
  long double incisal_max = 0;    // mm, largest Incisal_dist of start..end
  long double opening_speed = 0;  // mm/s, fastest rise of Incisal_dist within start..end
  long double closing_speed = 0;  // mm/s, fastest fall, as a positive number
  long double burst_max[5] = {};  // uV*ms per channel 1..4 over start+1..end (index 0 unused)
  bool confirmed = false;         // burst_max[1] > 10 x Channel1_mvc or [2] > 10 x Channel2_mvc
};

// Requires the analysis stages to have run over the recording in the store.
std::vector<ChewingCycle> walk_chewing_cycles(int position, long double dist_threshold /* mm */);
