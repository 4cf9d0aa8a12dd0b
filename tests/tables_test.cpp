// cycles.csv gives a cycle's one duration in both its columns (kinematics only where it has them);
// trials.csv counts the confirmed cycles as the experiments do.
#include "study/tables.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

TEST(TablesTest, CycleAndTrialRowsFormatTheEvaluation) {
  Evaluation e;
  e.no_experiments = 14;
  e.frame.valid = true;
  e.conditions[FK] = KinematicSummary{};
  e.experiments[12].chewing_cycles = 1;
  CycleResult with, without;
  with.cycle.confirmed = true;
  with.duration_ms = 250;
  with.peak = 7;
  with.kinematics = CycleKinematics{};
  with.kinematics->opening_ms = 120;
  without.duration_ms = 180;
  e.trials = {TrialEvaluation{12, {with, without}, {}}, TrialEvaluation{13, {without}, {}}};
  const auto cycles = csv_table(cycles_header() + cycle_rows("r.txt", e));
  const auto trials = csv_table(trials_header() + trial_rows("r.txt", e));
  ASSERT_TRUE(cycles.size() == 3 && trials.size() == 3);  // trials.csv: FK1, FK2 and FK
  auto fields = [](const auto& row, std::vector<const char*> names) {
    std::string text;
    for (const char* name : names) text += row.at(name) + ";";
    return text;
  };
  const std::vector<const char*> kinematic = {"duration_ms", "closing_ms", "opening_ms",
                                              "peak_sample", "confirmed"};
  EXPECT_EQ(fields(cycles[0], kinematic), "250;250;120;7;1;");
  EXPECT_EQ(fields(cycles[1], kinematic), "180;;;;0;");  // no kinematics
  const char* const expected[] = {"FK1;2;1;", "FK2;1;0;", "FK;3;1;"};
  for (int k = 0; k < 3; ++k)
    EXPECT_EQ(fields(trials[k], {"trial", "cycles", "confirmed"}), expected[k]);
}

}  // namespace
