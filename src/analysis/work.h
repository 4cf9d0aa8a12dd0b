// Muscle work over the closing phases of the jaw.
//
// Reads  samples.cycle_status, incisal_dist (mm), burst (uV*ms), the run-wide
//        Incisal_max (mm), tracks[].first_entry/last_entry.
// Writes tracks[].Channel1_work..4 (uV*ms).
#pragma once

void preprocessing_work();
