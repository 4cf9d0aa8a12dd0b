// Muscle balance tables of the six chewing trials (positions 12 to 17), of the three conditions'
// means, the totals table and the legend.
//
// Reads  the evaluation's balance tables.
#pragma once

#include <cstdio>

#include "analysis/evaluation.h"

void write_balance_tables(std::FILE* out, const BalanceTables& tables);

// One balance row: label, count and the work of the four muscles in uVs (MR, ML, TR, TL), then
// the masseter, temporalis and masseter-temporalis balances in per cent.
void write_balance_row(std::FILE* out, const BalanceRow& row);
