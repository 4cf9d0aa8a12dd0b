// MVC-based cycle work of the chewing trials and the evaluation table. The cycle walk runs on
// samples laid out by hand with their turning-point marks; expected sums are worked out in the
// comments from the maxima of the cycles that pass.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "analysis/cycles.h"
#include "analysis/evaluation.h"
#include "recording/store.h"
#include "report/evaluation_table.h"
#include "support/hand_evaluation.h"
#include "support/test_support.h"

namespace {

constexpr std::uint8_t OPEN = max_end;     // last sample of a maximum
constexpr std::uint8_t CLOSE = min_start;  // first sample of a minimum

struct Sample {
  long double d;  // Incisal_dist, mm
  std::uint8_t status;
  long double b1, b2, b3, b4;  // burst integrals, uV*ms
};

// Stores `rows` as experiment `position`, starting at entry `first`.
void lay_out(int position, int first, const std::vector<Sample>& rows) {
  const int end = first + static_cast<int>(rows.size());
  if (end > no_entries) size_samples(end);
  for (std::size_t n = 0; n < rows.size(); ++n) {
    const int i = first + static_cast<int>(n);
    samples.incisal_dist[i] = rows[n].d;
    samples.cycle_status[i] = rows[n].status;
    set_burst(0, i, rows[n].b1);
    set_burst(1, i, rows[n].b2);
    set_burst(2, i, rows[n].b3);
    set_burst(3, i, rows[n].b4);
  }
  tracks[position].first_entry = first;
  tracks[position].last_entry = end - 1;
}

void set_mvc(long double c1, long double c2, long double c3, long double c4) {
  Channel1_mvc = c1;
  Channel2_mvc = c2;
  Channel3_mvc = c3;
  Channel4_mvc = c4;
}

constexpr long double kThreshold = 3;  // mm

// The MVC-based cycle work of the cycles walked over the marks laid out by hand.
MvcCycleWork build_mvc_cycle_work(long double dist_threshold) {
  for (int k = 12; k < no_tracks && k < kMaxTracks; ++k)
    chewing_cycles[k] = walk_chewing_cycles(tracks[k], dist_threshold);
  return evaluate(0.03L, dist_threshold).mvc_cycle_work;
}

struct WalkCase {
  const char* name;
  std::vector<Sample> samples;
  long double expected[5];  // [channel], ms; index 0 unused
};

// All MVCs are 100 uV, so a cycle maximum counts above 1000 uV*ms and adds maximum / 100.
TEST(MvcCycleWorkTest, WalksTheChewingCycles) {
  const long double just_above = std::nextafter(1000.0L, 2000.0L);
  const std::vector<WalkCase> cases = {
      {"exactly 10 x MVC adds nothing, just above adds its full value",
       {{5, OPEN, 0, 0, 0, 0}, {4, 0, 1000, just_above, 0, 0}, {1, CLOSE, 0, 0, 0, 0}},
       {0, 0, just_above / 100, 0, 0}},
      {"a sample on the threshold opens a cycle but does not end one; max_end inside goes on",
       {{3, OPEN, 0, 0, 0, 0},
        {3, CLOSE, 2000, 0, 0, 0},
        {4, OPEN, 0, 0, 0, 0},
        {2, CLOSE, 1500, 0, 0, 0}},
       {0, 20, 0, 0, 0}},  // one cycle, maximum 2000
      {"the opening sample's integrals stay out, the ending sample's count",
       {{1, 0, 9999, 0, 0, 0},  // waiting: ignored
        {5, OPEN, 5000, 0, 0, 0},
        {4, 0, 1200, 0, 0, 0},
        {1, CLOSE, 0, 3000, 0, 0}},
       {0, 12, 30, 0, 0}},
      {"a cycle left open at the end of the trial is lost",
       {{5, OPEN, 0, 0, 0, 0},
        {1, CLOSE, 1500, 0, 0, 0},
        {6, OPEN, 0, 0, 0, 0},
        {4, 0, 4000, 0, 0, 0},
        {3, CLOSE, 0, 0, 0, 0}},  // minimum not below the threshold: still open
       {0, 15, 0, 0, 0}},
      {"every channel decides for itself: channel 3 passes while the masseters fail",
       {{5, OPEN, 0, 0, 0, 0}, {4, 0, 900, 1000, 1100, 1000}, {1, CLOSE, 0, 0, 0, 0}},
       {0, 0, 0, 11, 0}},
      {"maxima restart with each cycle and the cycles add up",
       {{5, OPEN, 0, 0, 0, 0},
        {4, 0, 3000, 0, 0, 0},
        {2, CLOSE, 0, 0, 0, 0},
        {2, 0, 8000, 0, 0, 0},  // between cycles: ignored
        {7, OPEN, 0, 0, 0, 0},
        {1, CLOSE, 2000, 0, 0, 2500},
        {1, 0, 0, 0, 0, 0}},
       {0, 50, 0, 0, 25}},
      {"a closing mark without an open cycle does nothing",
       {{1, CLOSE, 5000, 5000, 5000, 5000}, {2, OPEN, 0, 0, 0, 0}, {1, CLOSE, 5000, 0, 0, 0}},
       {0, 0, 0, 0, 0}},
  };
  for (const WalkCase& c : cases) {
    reset_store();
    set_mvc(100, 100, 100, 100);
    no_tracks = 13;
    lay_out(11, 0, {{5, OPEN, 0, 0, 0, 0}, {4, 0, 7000, 7000, 7000, 7000}, {1, CLOSE, 0, 0, 0, 0}});
    lay_out(12, 3, c.samples);
    MvcCycleWork work = build_mvc_cycle_work(kThreshold);
    for (int ch = 1; ch <= 4; ++ch)
      EXPECT_EQ(work.value[12][ch - 1], c.expected[ch]) << c.name << ", channel " << ch;
    for (int ch = 1; ch <= 4; ++ch)
      EXPECT_EQ(work.value[11][ch - 1], 0) << c.name << ": position 11 is not filled";
  }
}

TEST(MvcCycleWorkTest, EachChannelUsesItsOwnMvc) {
  reset_store();
  set_mvc(100, 200, 50, 25);  // tests at 1000, 2000, 500, 250 uV*ms
  no_tracks = 13;
  lay_out(12, 0, {{5, OPEN, 0, 0, 0, 0}, {4, 0, 1500, 1500, 600, 240}, {1, CLOSE, 0, 0, 0, 0}});
  MvcCycleWork work = build_mvc_cycle_work(kThreshold);
  EXPECT_EQ(work.value[12][0], 15);  // 1500 / 100
  EXPECT_EQ(work.value[12][1], 0);   // 1500 is not above 2000
  EXPECT_EQ(work.value[12][2], 12);  // 600 / 50
  EXPECT_EQ(work.value[12][3], 0);   // 240 is not above 250
}

TEST(MvcCycleWorkTest, ZeroMvcCountsAnyPositiveMaximumAndDividesByZero) {
  reset_store();
  set_mvc(0, 0, 100, 100);
  no_tracks = 13;
  lay_out(12, 0, {{5, OPEN, 0, 0, 0, 0}, {4, 0, 5, 0, 0, 0}, {1, CLOSE, 0, 0, 0, 0}});
  MvcCycleWork work = build_mvc_cycle_work(kThreshold);
  EXPECT_TRUE(std::isinf(work.value[12][0]) && work.value[12][0] > 0);  // 5 / 0
  EXPECT_TRUE(std::isnan(work.value[12][1]));                           // 0 / 0
  EXPECT_EQ(work.value[12][2], 0);                                      // 0 / 100
}

TEST(MvcCycleWorkTest, PositionsTheRecordingLacksReadAsZero) {
  reset_store();
  set_mvc(100, 100, 100, 100);
  const std::vector<Sample> cycle = {
      {5, OPEN, 0, 0, 0, 0}, {4, 0, 2000, 2000, 2000, 2000}, {1, CLOSE, 0, 0, 0, 0}};
  for (int k = 0; k < kMaxTracks; ++k) lay_out(k, 3 * k, cycle);
  no_tracks = 14;  // positions 14 to 17 hold samples, but the recording has no such experiments
  MvcCycleWork work = build_mvc_cycle_work(kThreshold);
  for (int k = 0; k < kMaxTracks; ++k)
    for (int ch = 1; ch <= 4; ++ch)
      EXPECT_EQ(work.value[k][ch - 1], (k == 12 || k == 13) ? 20 : 0) << "position " << k;

  no_tracks = 0;
  work = build_mvc_cycle_work(kThreshold);
  for (int k = 0; k < kMaxTracks; ++k)
    for (int ch = 0; ch < 4; ++ch) EXPECT_EQ(work.value[k][ch], 0);
}

// ---------------------------------------------------------------------------------------------
// Evaluation table

const std::vector<std::string> kHeader = {
    "C duration F  |      RM |      LM | RM+LM |(RM-LM)/| std. |  balance | trend           |   "
    "a/  b  ",
    "   sec   Hz   |         |         |       | (RM+LM)| dev. |  r/m/l   | 1/4 1/4 1/4 1/4 |   "
    "       ",
    "--------------|---------+---------+-------+--------+------+----------+-----------------+-----"
    "-----",
};
const std::string kDashes = kHeader[2];

std::string table_text(const Evaluation& e) {
  return capture([&](std::FILE* out) { write_evaluation_table(out, evaluation_table_of(e)); });
}

TEST(EvaluationTableTest, RowShowsMasseterColumnsAndZerosElsewhere) {
  Evaluation e = evaluation_of(13);
  auto& V = e.mvc_cycle_work.value;
  V[12][0] = 2468;  // RM 246.8, LM 197.3, sum 444.1, (495 * 100) / 4441 = +11.1 %
  V[12][1] = 1973;
  V[12][2] = 5000;  // temporales are not shown
  std::vector<std::string> lines = lines_of(table_text(e));
  ASSERT_EQ(lines.size(), 2u + 3u + 1u + 1u + 1u + 1u);
  EXPECT_EQ(
      lines[5],
      " 0  0.00 0.00 |     247 |     197 |   444 |  +11 % |   0% |  0/ 0/ 0 |   0/  0/  0/  0 "
      "|   0/  0");
}

TEST(EvaluationTableTest, SummarySetsRightSideAgainstLeftSide) {
  Evaluation e = evaluation_of(18);
  auto& V = e.mvc_cycle_work.value;
  const long double v1[] = {300, 260, 200, 240};  // positions 14..17
  const long double v2[] = {150, 130, 180, 170};
  for (int n = 0; n < 4; ++n) {
    V[14 + n][0] = v1[n];
    V[14 + n][1] = v2[n];
  }
  // RM: ((560 - 440) * 100) / 1000 = +12; LM: ((280 - 350) * 100) / 630 = -11.1.
  std::vector<std::string> lines = lines_of(table_text(e));
  ASSERT_EQ(lines.size(), 2u + 3u + 6u + 1u + 1u + 1u);
  EXPECT_EQ(
      lines[12],
      "              |   +12 % |   -11 % |       |        |      |          |                 |");
  // Trials without any passing masseter cycle: 0 / 0 prints as the conversion prints NaN,
  // four characters that fill the balance field.
  EXPECT_EQ(
      lines[5],
      " 0  0.00 0.00 |       0 |       0 |     0 | -nan % |   0% |  0/ 0/ 0 |   0/  0/  0/  0 "
      "|   0/  0");
  // Position 14 (third row): RM 30, LM 15, (150 * 100) / 450 = +33 %.
  EXPECT_EQ(
      lines[7],
      " 0  0.00 0.00 |      30 |      15 |    45 |  +33 % |   0% |  0/ 0/ 0 |   0/  0/  0/  0 "
      "|   0/  0");
  // Position 16 (fifth row): RM 20, LM 18, (20 * 100) / 380 = +5 %.
  EXPECT_EQ(
      lines[9],
      " 0  0.00 0.00 |      20 |      18 |    38 |   +5 % |   0% |  0/ 0/ 0 |   0/  0/  0/  0 "
      "|   0/  0");
}

TEST(EvaluationTableTest, TwelveExperimentsGiveNoRows) {
  const Evaluation e = evaluation_of(12);
  std::string text = table_text(e);
  std::vector<std::string> expected = {"Evaluation tables according to Talvorsen", ""};
  expected.insert(expected.end(), kHeader.begin(), kHeader.end());
  expected.push_back(kDashes);
  // The missing right- and left-side trials count as 0: 0 / 0 in both balances.
  expected.push_back(
      "              |  -nan % |  -nan % |       |        |      |          |                 |");
  expected.push_back("");
  EXPECT_EQ(lines_of(text), expected);
  EXPECT_EQ(text.substr(text.size() - 3), "|\n\n");
}

TEST(EvaluationTableTest, EighteenExperimentsGiveSixRowsInPositionOrder) {
  Evaluation e = evaluation_of(18);
  auto& V = e.mvc_cycle_work.value;
  for (int k = 12; k < 18; ++k) {
    V[k][0] = 100 * (k - 11);  // RM 10, 20, .. 60
    V[k][1] = 100 * (k - 11);  // equal: balance +0
  }
  std::vector<std::string> lines = lines_of(table_text(e));
  ASSERT_EQ(lines.size(), 14u);
  EXPECT_EQ(
      lines[5],
      " 0  0.00 0.00 |      10 |      10 |    20 |   +0 % |   0% |  0/ 0/ 0 |   0/  0/  0/  0 "
      "|   0/  0");
  for (int row = 0; row < 6; ++row) {  // the RM column of each row
    char rm[16];
    std::snprintf(rm, sizeof rm, "| %7d |", 10 * (row + 1));
    EXPECT_EQ(lines[5 + row].substr(14, 11), rm) << "row " << row;
  }
  EXPECT_EQ(lines[11], kDashes);
  // ((300 + 400) - (500 + 600)) * 100 / 1800 = -22.2 % for both masseters.
  EXPECT_EQ(
      lines[12],
      "              |   -22 % |   -22 % |       |        |      |          |                 |");
}

TEST(EvaluationTableTest, BuiltAndWrittenFromRealCycles) {
  reset_store();
  set_mvc(100, 100, 100, 100);
  no_tracks = 13;
  // Two cycles. RM maxima 24680 and 1000 (not above 10 x MVC), LM maxima 900 (fails) and
  // 19730: V1 = 24680 / 100 = 246.8, V2 = 19730 / 100 = 197.3.
  lay_out(12, 0,
          {{5, OPEN, 0, 0, 0, 0},
           {4, 0, 24680, 900, 0, 0},
           {1, CLOSE, 0, 0, 0, 0},
           {6, OPEN, 0, 0, 0, 0},
           {2, CLOSE, 1000, 19730, 0, 0}});
  Evaluation e = evaluation_of(13);
  e.mvc_cycle_work = build_mvc_cycle_work(kThreshold);
  std::vector<std::string> lines = lines_of(table_text(e));
  // RM 24.68, LM 19.73, sum 44.41, (49.5 * 100) / 444.1 = +11 %.
  EXPECT_EQ(
      lines[5],
      " 0  0.00 0.00 |      25 |      20 |    44 |  +11 % |   0% |  0/ 0/ 0 |   0/  0/  0/  0 "
      "|   0/  0");
}

}  // namespace
