// Index tables: asymmetry, chewing-side index, MVC, muscle work, cycle counts, durations and
// chewing frequencies of the three chewing conditions.
//
// Reads  the evaluation's index values.
#pragma once

#include <cstdio>

#include "analysis/evaluation.h"

void write_index_tables(std::FILE* out, const IndexValues& values);
