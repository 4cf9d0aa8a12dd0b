#include "report/balance_tables.h"

namespace {

// Header of the per-trial and the per-pair tables, formats without arguments.
constexpr char kBalanceHeader1[] =
    "     | Z. |  MR  |  ML  | (MR-ML)  |  TR  |  TL  | (TR-TL)  | (MR+ML-TR-TL) \n";
constexpr char kBalanceHeader2[] =
    "     |    |      |      | /(MR+ML) |      |      | /(TR+TL) | /(MR+ML+TR+TL)\n";
constexpr char kBalanceHeader3[] =
    "-----+----+------+------+----------+------+------+----------+----------------\n";
// The label padded to three characters: a condition's ("FK") as wide as a trial's ("FK1").
constexpr char kBalanceRow[] =
    " %-3s | %2d | %4.0Lf | %4.0Lf | %6.0LF %% | %4.0Lf | %4.0Lf | %6.0LF %% | %12.0LF %% \n";

constexpr char kTotalsHeader1[] = "       | total M | total T | (M+T-M-T)/(M+T+M+T) \n";
constexpr char kTotalsHeader2[] = "-------+---------+---------+---------------------\n";
constexpr char kTotalsRight[] = " right | %7.0Lf | %7.0Lf | %17.0Lf %% \n";
constexpr char kTotalsLeft[] = " left  | %7.0Lf | %7.0Lf | %17.0Lf %% \n";
constexpr char kTotalsBoth[] = " both  | %7.0Lf | %7.0Lf | %17.0Lf %% \n";

constexpr const char* kLegend[] = {
    "Exp. = experiment, C. = Number of chewing cycles\n",
    "MVC = maximum voluntary contraction, EMG = electromyogram, NL = noise level\n",
    "FR = free chewing, RK = iright chewing, LK = left chewing\n",
    ("MR = M. masseter right, ML = M. masseter left, TR = M. temporalis right, TL = M. temporalis "
     "left \n"),
    "M = M. masseter, T = M. temporalis\n",
};

void write_balance_header(std::FILE* out) {
  std::fprintf(out, kBalanceHeader1);
  std::fprintf(out, kBalanceHeader2);
  std::fprintf(out, kBalanceHeader3);
}

}  // namespace

void write_balance_row(std::FILE* out, const BalanceRow& row) {
  std::fprintf(out, kBalanceRow, row.label.c_str(), row.count,  //
               row.mr, row.ml, row.masseter,                    // masseters: uVs, uVs, %
               row.tr, row.tl, row.temporalis,                  // temporales: uVs, uVs, %
               row.masseters_temporales);
}

void write_balance_tables(std::FILE* out, const BalanceTables& tables) {
  write_balance_header(out);
  for (const BalanceRow& row : tables.trials) write_balance_row(out, row);
  std::fprintf(out, "\n");

  write_balance_header(out);
  for (const BalanceRow& row : tables.pairs) write_balance_row(out, row);
  std::fprintf(out, "\n");

  const BalanceTotals& t = tables.totals;
  std::fprintf(out, kTotalsHeader1);
  std::fprintf(out, kTotalsHeader2);
  std::fprintf(out, kTotalsRight, t.right.masseter, t.right.temporalis, t.right.balance);
  std::fprintf(out, kTotalsLeft, t.left.masseter, t.left.temporalis, t.left.balance);
  std::fprintf(out, kTotalsBoth, t.both.masseter, t.both.temporalis, t.both.balance);
  std::fprintf(out, "\n");

  for (const char* line : kLegend) std::fputs(line, out);
  std::fprintf(out, "\n");
}
