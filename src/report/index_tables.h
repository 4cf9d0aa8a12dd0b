// Index tables: asymmetry, chewing-side index, MVC, muscle work, cycle counts, durations and
// chewing frequencies of the three chewing conditions.
//
// Reads  tracks[0..1] MVC (uV), tracks[12..17]: work (uV*ms), no_chewing_cycles, first_entry,
//        last_entry; the `frequency` header text (Hz); the MVC-based cycle work.
#pragma once

#include <cstdio>

#include "report/evaluation_table.h"

// The values of index rows 1 to 11, in the order the tables print them: rows 1 and 4 to 8 the
// masseter (or right masseter, left masseter) values for FK, RK, LK and then the temporalis ones;
// rows 2 and 3 one value each for MR, ML, TR, TL; rows 9 to 11 one per condition FK, RK, LK.
struct IndexValues {
  long double row[12][6] = {};  // row[1] ... row[11]; row[0] unused
  int count[12] = {};           // how many values each row has
};

IndexValues index_values(const MvcCycleWork& mvc_cycle_work);

void write_index_tables(std::FILE* out, const MvcCycleWork& mvc_cycle_work);
