// Chewing-cycle recognition over the incisal distance.
//
// Reads  samples.incisal_dist (mm), incisal_dir, burst (uV*ms), the run-wide
//        Channel1_mvc/Channel2_mvc (uV), tracks[].first_entry/last_entry.
// Writes samples.cycle_status, tracks[].no_cycles, tracks[].no_chewing_cycles, and
//        chewing_cycles[] of the chewing trials: every cycle walked, confirmed or not.
#pragma once

void compute_cycles(long double dist_threshold /* mm */);

#include <vector>

#include "recording/store.h"

// The chewing cycles of one experiment whose samples carry their turning-point marks, in order.
// A max_end inside a cycle does not restart it, and a cycle still open at the experiment's end
// is none. compute_cycles records them for the chewing trials.
std::vector<ChewingCycle> walk_chewing_cycles(const Track& track, long double dist_threshold);

// Whether a cycle (or stroke) with these masseter burst maxima (uV*ms; right, left) is a chewing
// cycle: either exceeds 10 times that masseter's run-wide MVC (10 ms of activity at MVC level).
bool confirmed_by_masseters(const long double* burst_max);

// How many of the cycles masseter activity confirmed: the one count of confirmed cycles, which
// compute_cycles keeps as tracks[].no_chewing_cycles and every table, page and report gives.
int confirmed_count(const std::vector<ChewingCycle>& cycles);
