// Evaluation table: MVC-based cycle work of the chewing trials and its right/left balance.
//
// Reads  no_tracks; the evaluation's MVC-based cycle work (ms).
#pragma once

#include <cstdio>

#include "analysis/evaluation.h"

void write_evaluation_table(std::FILE* out, const MvcCycleWork& mvc_cycle_work);
