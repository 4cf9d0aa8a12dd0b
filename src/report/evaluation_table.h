// Evaluation table: MVC-based cycle work of the chewing trials and its right/left balance.
//
// Reads  entries[] of positions 12..no_tracks-1: Incisal_dist (mm), Channel1..4_burst (uV*ms),
//        cycle_status; the run-wide Channel1..4_mvc (uV); the distance threshold (mm).
#pragma once

#include <cstdio>

#include "recording/store.h"

// Per position and channel (1..4; index 0 unused): the sum of the cycle maxima above 10 x MVC,
// divided by the run-wide MVC, in ms. Positions the recording lacks hold 0.
struct MvcCycleWork {
  long double value[kMaxTracks][5] = {};
};

MvcCycleWork build_mvc_cycle_work(long double dist_threshold /* mm */);

void write_evaluation_table(std::FILE* out, const MvcCycleWork& mvc_cycle_work);
