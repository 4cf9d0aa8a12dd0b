// Jaw distances from the calibrated reference position.
//
// Reads  entries[] positions (mm), calibration positions (mm), tracks[].first_entry/last_entry.
// Writes entries[] positions (relative, in place), Right_dist..UK6_2_dist (mm),
//        Right_dir..UK6_2_dir (0 none yet, 1 rose, 2 fell), tracks[].Right_max..UK6_2_max (mm),
//        the run-wide Right_max..UK6_2_max (mm, from positions 2 and 3 only).
#pragma once

void preprocessing_distances();
