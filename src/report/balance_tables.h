// Muscle balance tables of the six chewing trials (positions 12 to 17), the totals table and
// the legend.
//
// Reads  tracks[12..17]: no_cycles, Channel1..4_work (uV*ms); missing trials read as zeros.
#pragma once

#include <cstdio>

void write_balance_tables(std::FILE* out);

// One balance row: label, count and the work of the four muscles in uVs (MR, ML, TR, TL), then
// the masseter, temporalis and masseter-temporalis balances in per cent.
void output_header_EMG(std::FILE* out, const char* label, int count, long double MR, long double ML,
                       long double TR, long double TL);

// The balance row of the trial at stored position `position`: its no_cycles and its work / 1000.
void output_header_EMG1(std::FILE* out, int position, const char* label);

// The balance row of the mean of the trials at stored positions `first` and `second`: the
// integer half of their no_cycles sum and the sum of their work / 2000.
void output_header_EMG2(std::FILE* out, int first, int second, const char* label);
