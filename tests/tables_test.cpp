// cycles.csv names the strokes a cycle holds; strokes.csv leaves empty what a stroke lacks (the
// jaw frame's measures, EMG, a next stroke); trials.csv gives a row over all strokes and, where
// the recording carries EMG, one over the confirmed ones, counting the confirmed cycles as the
// experiments do.
#include "study/tables.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

std::string fields(const std::map<std::string, std::string>& row,
                   const std::vector<const char*>& names) {
  std::string text;
  for (const char* name : names) text += row.at(name) + ";";
  return text;
}

TEST(TablesTest, CycleStrokeAndTrialRowsFormatTheEvaluation) {
  for (const bool emg : {true, false}) {
    SCOPED_TRACE(emg ? "with EMG" : "without EMG");
    Evaluation e;
    e.no_experiments = 14;
    e.strokes_found = true;
    e.emg = emg;
    e.experiments[12].chewing_cycles = 1;
    CycleResult cycle;
    cycle.cycle.confirmed = true;
    cycle.first_stroke = 1, cycle.last_stroke = 2;
    StrokeResult framed, bare;
    framed.closing_ms = 250;
    framed.next_start = 40;
    framed.cycle_ms = 600;
    framed.shape = StrokeShape{};
    framed.shape->sequencing = 'R';
    framed.shape->side_kinematic = 'L';
    framed.cycle = 1;
    if (emg) framed.emg_confirmed = true, bare.emg_confirmed = false;
    e.trials = {TrialEvaluation{12, {cycle, CycleResult{}}, {framed, bare}, {}},
                TrialEvaluation{13, {}, {bare}, {}}};
    for (TrialEvaluation& t : e.trials) t.summary = summaries_of({&t.strokes}, emg);
    e.conditions[FK] = summaries_of({&e.trials[0].strokes, &e.trials[1].strokes}, emg);

    const auto cycles = csv_table(cycles_header() + cycle_rows("r.txt", e));
    ASSERT_EQ(cycles.size(), 2u);
    EXPECT_EQ(fields(cycles[0], {"confirmed", "first_stroke", "last_stroke"}), "1;1;2;");
    EXPECT_EQ(fields(cycles[1], {"confirmed", "first_stroke", "last_stroke"}), "0;;;");

    const auto strokes = csv_table(strokes_header() + stroke_rows("r.txt", e));
    ASSERT_EQ(strokes.size(), 3u);
    const std::vector<const char*> columns = {"closing_ms",    "cycle_ms",   "next_start_sample",
                                              "vertical_mm",   "sequencing", "side_kinematic",
                                              "emg_confirmed", "cycle"};
    EXPECT_EQ(fields(strokes[0], columns),
              std::string("250;600;40;0;reversed;L;") + (emg ? "1" : "") + ";1;");
    EXPECT_EQ(fields(strokes[1], columns), std::string("0;;;;;;") + (emg ? "0" : "") + ";;");

    const auto trials = csv_table(trials_header() + trial_rows("r.txt", e));
    std::string listed;
    for (const auto& row : trials)
      listed += fields(row, {"trial", "stroke_set", "cycles", "confirmed", "strokes"}) + " ";
    EXPECT_EQ(listed, emg ? "FK1;all;2;1;2; FK1;emg_confirmed;2;1;1; FK2;all;0;0;1; "
                            "FK2;emg_confirmed;0;0;0; FK;all;2;1;3; FK;emg_confirmed;2;1;1; "
                          : "FK1;all;2;1;2; FK2;all;0;0;1; FK;all;2;1;3; ");
    EXPECT_EQ(trials[0].at("reversed_pct"), "100");
  }
}

}  // namespace
