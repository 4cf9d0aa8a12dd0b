// Muscle work over the closing phases of the jaw.
//
// Reads  entries[].cycle_status, Incisal_dist (mm), Channel1_burst..4 (uV*ms), the run-wide
//        Incisal_max (mm), tracks[].first_entry/last_entry.
// Writes tracks[].Channel1_work..4 (uV*ms).
#pragma once

void preprocessing_work();
