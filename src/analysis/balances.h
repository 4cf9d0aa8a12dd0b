// The balances the outputs print, in %, each formula once. Where the factor 100 enters and which
// sum is tested differ from one to the next: each operation order is the one the reports were
// made with, so no formula may be rewritten into another.
#pragma once

#include <string>

#include "protocol/protocol.h"

// ((a - b) * 100) / (a + b), unguarded: 0 / 0 gives NaN.
long double percent_difference(long double a, long double b);
// ((a - b) / (a + b)) * 100, unguarded.
long double share_difference(long double a, long double b);

// An experiment's work balance (the experiment table): percent_difference, or 0 unless a + b is
// above 0 (a NaN sum fails the test as well).
long double work_balance(long double right, long double left);
// A balance of two muscles' work in the balance tables: share_difference, or 0 unless a + b is
// above 0.
long double muscle_balance(long double a, long double b);
// The asymmetry index of the index tables: share_difference, or 0 unless a + b is above 1.
long double asymmetry_index(long double a, long double b);
// The masseters against the temporales: ((((mr + ml) - tr) - tl) / (((mr + ml) + tr) + tl)) *
// 100, or 0 unless that sum is above 0.
long double masseter_temporalis_balance(long double mr, long double ml, long double tr,
                                        long double tl);
// Right-side against left-side chewing over two trials each (the evaluation table):
// (((right1 + right2) - (left1 + left2)) * 100) / (((right1 + right2) + left1) + left2),
// unguarded.
long double right_left_balance(long double right1, long double right2, long double left1,
                               long double left2);

// Work (uV*ms) in uVs.
long double microvolt_seconds(long double microvolt_ms);
// The mean work of two trials (uV*ms each) in uVs: their sum / 2000.
long double pair_mean_microvolt_seconds(long double first, long double second);

// One row of the balance tables: a trial, or the mean of a condition's two trials.
struct BalanceRow {
  std::string label;                           // "FK1" .. "LK2", or "FK", "RK", "LK"
  int count = 0;                               // threshold crossings (a pair: half their sum)
  long double mr = 0, ml = 0, tr = 0, tl = 0;  // work of the four muscles, uVs
  long double masseter = 0, temporalis = 0;    // muscle_balance of mr/ml and of tr/tl, %
  long double masseters_temporales = 0;        // masseter_temporalis_balance, %
};

// The row of the given work (uVs) with its three balances.
BalanceRow balance_row(const std::string& label, int count, long double mr, long double ml,
                       long double tr, long double tl);

// A line of the totals table: masseter and temporalis work (uVs) and their muscle_balance (%).
struct BalanceTotal {
  long double masseter = 0, temporalis = 0, balance = 0;
};
struct BalanceTotals {
  BalanceTotal right, left, both;
};

// The totals of work summed as stored (uV*ms, in trial order) and then shown in uVs: right and
// left muscles, `both` their sums in uVs.
BalanceTotals balance_totals(long double right_masseter, long double left_masseter,
                             long double right_temporalis, long double left_temporalis);
