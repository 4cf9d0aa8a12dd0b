// Jaw distances from the calibrated reference position.
//
// The reader measures each sample's positions from the calibration as it reads them (x, y, z
// relative to the calibration, each distance the root of (x*x + y*y) + z*z): the incisal distance
// of every sample and each experiment's largest distance of each point (distance_max). That code
// is in recording/measure.h.
//
// Reads  distance_max (mm), samples.incisal_dist (mm), tracks[].first_entry/last_entry.
// Writes tracks[].Right_max..UK6_2_max (mm), the run-wide Right_max..UK6_2_max (mm, from
//        positions 2 and 3 only), samples.incisal_dir (0 none yet, 1 rose, 2 fell).
#pragma once

void preprocessing_distances();
