#include "report/evaluation_table.h"

#include "protocol/protocol.h"
#include "recording/store.h"

namespace {

constexpr char kTitle[] = "Evaluation tables according to Talvorsen\n\n";

// Header, formats without arguments; the dashes line closes the rows as well.
constexpr char kHeader1[] =
    "C duration F  |      RM |      LM | RM+LM |(RM-LM)/| std. |  balance | trend           |   "
    "a/  b  \n";
constexpr char kHeader2[] =
    "   sec   Hz   |         |         |       | (RM+LM)| dev. |  r/m/l   | 1/4 1/4 1/4 1/4 |   "
    "       \n";
constexpr char kDashes[] =
    "--------------|---------+---------+-------+--------+------+----------+-----------------+-----"
    "-----\n";
constexpr char kRow[] =
    "%2d %5.2Lf %4.2Lf | %7.0Lf | %7.0Lf | %5.0Lf | %+4.0Lf %% | %3.0LF%% | %2d/%2d/%2d | "
    "%3.0Lf/%3.0Lf/%3.0Lf/%3.0Lf | %3.0Lf/%3.0Lf\n";
constexpr char kSummary[] =
    "              |  %+4.0Lf %% |  %+4.0Lf %% |       |        |      |          |          "
    "       |\n";

constexpr int kRightTrial = first_trial_of(RK);  // and the one after it
constexpr int kLeftTrial = first_trial_of(LK);

// The experiments whose rows exist: positions 12 up to no_tracks - 1, never past the table.
int end_of_trials() { return no_tracks < kMaxTracks ? no_tracks : kMaxTracks; }

// (((right1 + right2) - (left1 + left2)) * 100) / (((right1 + right2) + left1) + left2)
long double right_left_balance(long double right1, long double right2, long double left1,
                               long double left2) {
  return (((right1 + right2) - (left1 + left2)) * 100) / (((right1 + right2) + left1) + left2);
}

}  // namespace

void write_evaluation_table(std::FILE* out, const MvcCycleWork& mvc_cycle_work) {
  const auto& V = mvc_cycle_work.value;  // [position][channel], ms
  std::fprintf(out, kTitle);
  std::fprintf(out, kHeader1);
  std::fprintf(out, kHeader2);
  std::fprintf(out, kDashes);
  for (int k = kFirstChewingTrial; k < end_of_trials(); ++k) {
    const long double V1 = V[k][0], V2 = V[k][1];  // masseters right, left
    const long double zero = 0;
    std::fprintf(out, kRow, 0, zero, zero,          // cycles, duration (s), frequency (Hz)
                 V1 / 10, V2 / 10, (V1 + V2) / 10,  // RM, LM, RM+LM
                 ((V1 - V2) * 100) / (V1 + V2),     // (RM-LM)/(RM+LM), %
                 zero,                              // std. dev., %
                 0, 0, 0,                           // balance r/m/l
                 zero, zero, zero, zero,            // trend, one per quarter
                 zero, zero);                       // a/b
  }
  std::fprintf(out, kDashes);
  std::fprintf(out, kSummary,
               right_left_balance(V[kRightTrial][0], V[kRightTrial + 1][0], V[kLeftTrial][0],
                                  V[kLeftTrial + 1][0]),  // RM
               right_left_balance(V[kRightTrial][1], V[kRightTrial + 1][1], V[kLeftTrial][1],
                                  V[kLeftTrial + 1][1]));  // LM
  std::fprintf(out, "\n");
}
