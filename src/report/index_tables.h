// Index tables: asymmetry, chewing-side index, MVC, muscle work, cycle counts, durations and
// chewing frequencies of the three chewing conditions.
//
// Reads  tracks[0..1] MVC (uV), tracks[12..17]: work (uV*ms), no_chewing_cycles, first_entry,
//        last_entry; the `frequency` header text (Hz); the MVC-based cycle work.
#pragma once

#include <cstdio>

#include "report/evaluation_table.h"

void write_index_tables(std::FILE* out, const MvcCycleWork& mvc_cycle_work);
