// Muscle balance tables of the six chewing trials (positions 12 to 17), the totals table and
// the legend.
//
// Reads  tracks[12..17]: no_cycles, Channel1..4_work (uV*ms); missing trials read as zeros.
#pragma once

#include <cstdio>

void write_balance_tables(std::FILE* out);
