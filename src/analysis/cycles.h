// Chewing-cycle recognition over the incisal distance.
//
// Reads  entries[].Incisal_dist (mm), Incisal_dir, Channel1_burst/Channel2_burst (uV*ms),
//        the run-wide Channel1_mvc/Channel2_mvc (uV), tracks[].first_entry/last_entry.
// Writes entries[].cycle_status, tracks[].no_cycles, tracks[].no_chewing_cycles.
#pragma once

void compute_cycles(long double dist_threshold /* mm */);
