#include "report/balance_tables.h"

#include <string>

#include "protocol/protocol.h"
#include "recording/store.h"

namespace {

// Header of the per-trial and the per-pair tables, formats without arguments.
constexpr char kBalanceHeader1[] =
    "     | Z. |  MR  |  ML  | (MR-ML)  |  TR  |  TL  | (TR-TL)  | (MR+ML-TR-TL) \n";
constexpr char kBalanceHeader2[] =
    "     |    |      |      | /(MR+ML) |      |      | /(TR+TL) | /(MR+ML+TR+TL)\n";
constexpr char kBalanceHeader3[] =
    "-----+----+------+------+----------+------+------+----------+----------------\n";
constexpr char kBalanceRow[] =
    " %s | %2d | %4.0Lf | %4.0Lf | %6.0LF %% | %4.0Lf | %4.0Lf | %6.0LF %% | %12.0LF %% \n";

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

// ((a - b) / (a + b)) * 100, or 0 unless the sum is above 0 (NaN fails the test as well).
long double balance(long double a, long double b) {
  if (a + b > 0) return ((a - b) / (a + b)) * 100;
  return 0;
}

void write_balance_header(std::FILE* out) {
  std::fprintf(out, kBalanceHeader1);
  std::fprintf(out, kBalanceHeader2);
  std::fprintf(out, kBalanceHeader3);
}

}  // namespace

void output_header_EMG(std::FILE* out, const char* label, int count, long double MR, long double ML,
                       long double TR, long double TL) {
  long double masseter_balance = balance(MR, ML);
  long double temporalis_balance = balance(TR, TL);
  long double masseter_temporalis_balance = 0;
  long double all = ((MR + ML) + TR) + TL;
  if (all > 0) masseter_temporalis_balance = ((((MR + ML) - TR) - TL) / all) * 100;
  std::fprintf(out, kBalanceRow, label, count, MR, ML, masseter_balance,  // masseters: uVs, uVs, %
               TR, TL, temporalis_balance,                                // temporales: uVs, uVs, %
               masseter_temporalis_balance);
}

void output_header_EMG1(std::FILE* out, int position, const char* label) {
  const Track& t = tracks[position];
  output_header_EMG(out, label, t.no_cycles, t.Channel1_work / 1000, t.Channel2_work / 1000,
                    t.Channel3_work / 1000, t.Channel4_work / 1000);
}

void output_header_EMG2(std::FILE* out, int first, int second, const char* label) {
  const Track& p = tracks[first];
  const Track& q = tracks[second];
  output_header_EMG(
      out, label, (p.no_cycles + q.no_cycles) / 2, (p.Channel1_work + q.Channel1_work) / 2000,
      (p.Channel2_work + q.Channel2_work) / 2000, (p.Channel3_work + q.Channel3_work) / 2000,
      (p.Channel4_work + q.Channel4_work) / 2000);
}

void write_balance_tables(std::FILE* out) {
  write_balance_header(out);
  for (int k = kFirstChewingTrial; k <= kLastChewingTrial; ++k)
    output_header_EMG1(out, k, trial_label(k));
  std::fprintf(out, "\n");

  write_balance_header(out);
  for (Condition c : kAllConditions) {
    // A pair's label is the condition's, padded to the width of a trial's.
    const std::string label = std::string(kConditionLabels[c]) + " ";
    output_header_EMG2(out, first_trial_of(c), first_trial_of(c) + 1, label.c_str());
  }
  std::fprintf(out, "\n");

  // Totals over the six trials, summed as stored (uV*ms) in trial order, then shown in uVs.
  long double work[4] = {0, 0, 0, 0};
  for (int k = kFirstChewingTrial; k <= kLastChewingTrial; ++k) {
    const Track& t = tracks[k];
    work[0] += t.Channel1_work;
    work[1] += t.Channel2_work;
    work[2] += t.Channel3_work;
    work[3] += t.Channel4_work;
  }
  long double right_M = work[0] / 1000, left_M = work[1] / 1000;
  long double right_T = work[2] / 1000, left_T = work[3] / 1000;
  long double both_M = right_M + left_M, both_T = right_T + left_T;

  std::fprintf(out, kTotalsHeader1);
  std::fprintf(out, kTotalsHeader2);
  std::fprintf(out, kTotalsRight, right_M, right_T, balance(right_M, right_T));
  std::fprintf(out, kTotalsLeft, left_M, left_T, balance(left_M, left_T));
  std::fprintf(out, kTotalsBoth, both_M, both_T, balance(both_M, both_T));
  std::fprintf(out, "\n");

  for (const char* line : kLegend) std::fputs(line, out);
  std::fprintf(out, "\n");
}
