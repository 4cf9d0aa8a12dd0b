// Experiment table: one row per experiment with its cycle count, sample range, distance maxima,
// MVC and noise levels, muscle work and right/left balances.
//
// Reads  tracks[0..no_tracks): first_entry, last_entry, no_chewing_cycles, Right_max, Left_max,
//        Incisal_max (mm), Channel1..4_mvc and _nl (uV), Channel1..4_work (uV*ms); the work
//        balances of the evaluation.
#pragma once

#include <cstdio>

#include "analysis/evaluation.h"

void write_experiment_table(std::FILE* out, const Evaluation& evaluation);
