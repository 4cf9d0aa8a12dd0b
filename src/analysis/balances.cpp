#include "analysis/balances.h"

#include <initializer_list>

// The factor 100 before the division: the order the experiment table's bytes keep.
long double percent_difference(long double a, long double b) { return ((a - b) * 100) / (a + b); }

// The quotient first, then the factor 100: the order the balance and index tables' bytes keep.
long double share_difference(long double a, long double b) { return ((a - b) / (a + b)) * 100; }

long double work_balance(long double right, long double left) {
  if (right + left > 0) return percent_difference(right, left);
  return 0;
}

long double muscle_balance(long double a, long double b) {
  if (a + b > 0) return share_difference(a, b);
  return 0;
}

long double asymmetry_index(long double a, long double b) {
  if (a + b > 1) return share_difference(a, b);
  return 0;
}

long double masseter_temporalis_balance(long double mr, long double ml, long double tr,
                                        long double tl) {
  // The masseters' sum first, then each temporalis on its own: the order the reports keep.
  const long double all = ((mr + ml) + tr) + tl;
  if (all > 0) return ((((mr + ml) - tr) - tl) / all) * 100;
  return 0;
}

long double right_left_balance(long double right1, long double right2, long double left1,
                               long double left2) {
  // The left trials are added one by one to the right sum below the line, as a pair above it.
  return (((right1 + right2) - (left1 + left2)) * 100) / (((right1 + right2) + left1) + left2);
}

long double microvolt_seconds(long double microvolt_ms) {
  return microvolt_ms / kMicrovoltMsPerMicrovoltS;
}

// One division of the sum by 2000, which is not halving and then dividing by 1000.
long double pair_mean_microvolt_seconds(long double first, long double second) {
  return (first + second) / (2 * kMicrovoltMsPerMicrovoltS);
}

BalanceRow balance_row(const std::string& label, int count, long double mr, long double ml,
                       long double tr, long double tl) {
  BalanceRow row;
  row.label = label;
  row.count = count;
  row.mr = mr, row.ml = ml, row.tr = tr, row.tl = tl;
  row.masseter = muscle_balance(mr, ml);
  row.temporalis = muscle_balance(tr, tl);
  row.masseters_temporales = masseter_temporalis_balance(mr, ml, tr, tl);
  return row;
}

BalanceTotals balance_totals(long double right_masseter, long double left_masseter,
                             long double right_temporalis, long double left_temporalis) {
  BalanceTotals t;
  t.right.masseter = microvolt_seconds(right_masseter);
  t.left.masseter = microvolt_seconds(left_masseter);
  t.right.temporalis = microvolt_seconds(right_temporalis);
  t.left.temporalis = microvolt_seconds(left_temporalis);
  // Both sides: the sums of the values in uVs, not of the stored work.
  t.both.masseter = t.right.masseter + t.left.masseter;
  t.both.temporalis = t.right.temporalis + t.left.temporalis;
  for (BalanceTotal* line : {&t.right, &t.left, &t.both})
    line->balance = muscle_balance(line->masseter, line->temporalis);
  return t;
}
