// Experiment table: one row per experiment with its cycle count, sample range, distance maxima,
// MVC and noise levels, muscle work and right/left balances.
//
// Reads  the evaluation's experiments: sample range, chewing cycles, distance maxima (mm), MVC and
//        noise levels (uV), work in uVs and work balances (%).
#pragma once

#include <cstdio>

#include "analysis/evaluation.h"

void write_experiment_table(std::FILE* out, const Evaluation& evaluation);
