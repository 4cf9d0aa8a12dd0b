// The balances, shares and levels the report prints, from hand-calculated values: each formula
// on its own, then as the evaluation derives them from its plain results.
#include "analysis/balances.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "analysis/emg.h"
#include "analysis/evaluation.h"
#include "support/hand_evaluation.h"

namespace {

TEST(BalancesTest, GuardedBalancesOfTwoValues) {
  const long double nan = std::strtold("nan", nullptr);
  struct Case {
    long double a, b, work, muscle, asymmetry;  // work_balance, muscle_balance, asymmetry_index
  } cases[] = {
      {3000, 1000, 50, 50, 50}, {1000, 3000, -50, -50, -50},
      {0, 2, -100, -100, -100}, {0.625L, 0.375L, 25, 25, 0},  // a sum of exactly 1 is not above 1
      {0, 0, 0, 0, 0},          {-1, 0.5L, 0, 0, 0},
      {nan, 1, 0, 0, 0},  // a NaN sum fails every guard
  };
  for (const Case& c : cases) {
    EXPECT_EQ(work_balance(c.a, c.b), c.work) << c.a << " " << c.b;
    EXPECT_EQ(muscle_balance(c.a, c.b), c.muscle) << c.a << " " << c.b;
    EXPECT_EQ(asymmetry_index(c.a, c.b), c.asymmetry) << c.a << " " << c.b;
  }
  EXPECT_TRUE(std::isnan(percent_difference(0, 0)));  // the evaluation table's rows: unguarded
  EXPECT_TRUE(std::isnan(share_difference(0, 0)));
}

TEST(BalancesTest, BalancesOfFourValues) {
  EXPECT_EQ(masseter_temporalis_balance(3, 3, 1, 1), 50);  // (6 - 2) / 8
  EXPECT_EQ(masseter_temporalis_balance(0, 0, 1, 3), -100);
  EXPECT_EQ(masseter_temporalis_balance(0, 0, 0, 0), 0);
  EXPECT_EQ(right_left_balance(300, 260, 200, 240), 12);  // (120 x 100) / 1000
  EXPECT_TRUE(std::isnan(right_left_balance(0, 0, 0, 0)));
}

TEST(BalancesTest, WorkInMicrovoltSecondsAndTotals) {
  EXPECT_EQ(microvolt_seconds(2500), 2.5L);
  EXPECT_EQ(pair_mean_microvolt_seconds(3000, 5000), 4);
  // Right: M 6, T 2 -> 50 %; left: M 2, T 6 -> -50 %; both: M 8, T 8 -> 0 %.
  const BalanceTotals t = balance_totals(6000, 2000, 2000, 6000);
  const BalanceTotal got[] = {t.right, t.left, t.both},
                     expected[] = {{6, 2, 50}, {2, 6, -50}, {8, 8, 0}};
  for (int n = 0; n < 3; ++n)
    EXPECT_TRUE(got[n].masseter == expected[n].masseter &&
                got[n].temporalis == expected[n].temporalis &&
                got[n].balance == expected[n].balance)
        << n;
}

TEST(BalancesTest, SummaryFiguresAndActivityLevels) {
  Evaluation e = evaluation_of(2);
  e.incisal_max = 40;
  e.run_mvc[0] = 400, e.run_mvc[3] = 1000;
  e.sampling_rate = 1000;
  e.experiments[1].last_sample = 2500;
  e.experiments[1].nl[0] = 2.5L;
  e.experiments[2].nl[0] = 7;  // not in the recording: no level
  e = derived(e, 0.25L, 3);
  EXPECT_EQ(e.summary_figures.threshold_share, 7.5L);  // (3 x 100) / 40
  EXPECT_EQ(e.summary_figures.emg_threshold_percent, 25);
  EXPECT_EQ(e.summary_figures.threshold_level[0], 100);  // 0.25 x 400
  EXPECT_EQ(e.summary_figures.threshold_level[3], 250);
  EXPECT_EQ(e.experiments[1].activity_level[0], 102.5L);  // 100 + the experiment's 2.5
  EXPECT_EQ(e.experiments[1].activity_level[0], activity_level(0.25L, 400, 2.5L));
  EXPECT_EQ(e.experiments[1].duration_s, 2.5L);
  EXPECT_EQ(e.experiments[2].activity_level[0], 0);
}

}  // namespace
