#include "report/evaluation_table.h"

#include "analysis/cycles.h"

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

constexpr int kFirstChewingTrial = 12;
constexpr int kRightTrial1 = 14, kRightTrial2 = 15;  // chewing on the right side
constexpr int kLeftTrial1 = 16, kLeftTrial2 = 17;    // chewing on the left side

// The experiments whose rows exist: positions 12 up to no_tracks - 1, never past the table.
int end_of_trials() { return no_tracks < kMaxTracks ? no_tracks : kMaxTracks; }

// (((right1 + right2) - (left1 + left2)) * 100) / (((right1 + right2) + left1) + left2)
long double right_left_balance(long double right1, long double right2, long double left1,
                               long double left2) {
  return (((right1 + right2) - (left1 + left2)) * 100) / (((right1 + right2) + left1) + left2);
}

}  // namespace

MvcCycleWork build_mvc_cycle_work(long double dist_threshold) {
  MvcCycleWork work;
  const long double mvc[5] = {0, Channel1_mvc, Channel2_mvc, Channel3_mvc, Channel4_mvc};
  for (int k = kFirstChewingTrial; k < end_of_trials(); ++k) {
    long double* sum = work.value[k];
    // Every channel decides for itself whether its maximum counts.
    for_each_chewing_cycle(tracks[k], dist_threshold, [&](int, int, const long double* m) {
      for (int c = 1; c <= 4; ++c)
        if (m[c] > 10 * mvc[c]) sum[c] += m[c];
    });
    for (int c = 1; c <= 4; ++c) sum[c] /= mvc[c];
  }
  return work;
}

void write_evaluation_table(std::FILE* out, const MvcCycleWork& mvc_cycle_work) {
  const auto& V = mvc_cycle_work.value;  // [position][channel], ms
  std::fprintf(out, kTitle);
  std::fprintf(out, kHeader1);
  std::fprintf(out, kHeader2);
  std::fprintf(out, kDashes);
  for (int k = kFirstChewingTrial; k < end_of_trials(); ++k) {
    const long double V1 = V[k][1], V2 = V[k][2];
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
               right_left_balance(V[kRightTrial1][1], V[kRightTrial2][1], V[kLeftTrial1][1],
                                  V[kLeftTrial2][1]),  // RM
               right_left_balance(V[kRightTrial1][2], V[kRightTrial2][2], V[kLeftTrial1][2],
                                  V[kLeftTrial2][2]));  // LM
  std::fprintf(out, "\n");
}
