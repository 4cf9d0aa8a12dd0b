// Experiment table, muscle balance tables and the order of the report's sections, written to a
// memory stream from evaluations made by hand. Expected lines are worked out from the row formats.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "analysis/evaluation.h"
#include "report/balance_tables.h"
#include "report/experiment_table.h"
#include "report/output.h"
#include "support/hand_evaluation.h"
#include "support/test_support.h"

namespace {

std::vector<std::string> experiment_lines(const Evaluation& e) {
  return lines_of(capture([&](std::FILE* out) { write_experiment_table(out, derived(e)); }));
}

std::vector<std::string> balance_lines(const Evaluation& e) {
  return lines_of(
      capture([&](std::FILE* out) { write_balance_tables(out, balance_tables_of(e)); }));
}

const std::vector<std::string> kExperimentHeader = {
    "Exp. | C. | First    Last |  max distance (mm)   |    MVC / noise  (uV)         |    MVC / "
    "noise (uV)          | work uVs  |       | work uVs  |       ",
    "     |    |               |  right  left  incis. | right          left          | right    "
    "      left          | r.   l.   |     % | r.   l.   |     %",
    "-----+----+---------------+----------------------+------------------------------+----------"
    "--------------------+-----------+-------+-----------+-------",
};

const std::vector<std::string> kBalanceHeader = {
    "     | Z. |  MR  |  ML  | (MR-ML)  |  TR  |  TL  | (TR-TL)  | (MR+ML-TR-TL) ",
    "     |    |      |      | /(MR+ML) |      |      | /(TR+TL) | /(MR+ML+TR+TL)",
    "-----+----+------+------+----------+------+------+----------+----------------",
};

// ---------------------------------------------------------------------------------------------
// Experiment table

TEST(ExperimentTableTest, NoExperimentsGivesHeaderAndBlankLine) {
  std::string text =
      capture([](std::FILE* out) { write_experiment_table(out, derived(evaluation_of(0))); });
  std::vector<std::string> expected = kExperimentHeader;
  expected.push_back("");
  EXPECT_EQ(lines_of(text), expected);
  EXPECT_EQ(text.back(), '\n');
}

TEST(ExperimentTableTest, OneRowPerExperimentRead) {
  Evaluation e = evaluation_of(3);
  for (int k = 0; k < kMaxTracks; ++k)
    e.experiments[k].first_sample = e.experiments[k].last_sample = 7 * k;
  std::vector<std::string> lines = experiment_lines(e);
  ASSERT_EQ(lines.size(), 3u + 3u + 1u);
  const std::string zeros =
      " |   0.00   0.00   0.00 |   0.00/  0.00    0.00/  0.00 |   0.00/  0.00    0.00/  0.00 "
      "|    0    0 |   0 % |    0    0 |   0 %";
  EXPECT_EQ(lines[3], "   1 |  0 |      0      0" + zeros);
  EXPECT_EQ(lines[4], "   2 |  0 |      7      7" + zeros);
  EXPECT_EQ(lines[5], "   3 |  0 |     14     14" + zeros);
  EXPECT_EQ(lines[6], "");
}

TEST(ExperimentTableTest, ChewingTrialShowsEveryFieldAndBothBalances) {
  Evaluation e = evaluation_of(13);
  ExperimentEvaluation& t = e.experiments[12];
  t.chewing_cycles = 5;
  t.first_sample = 1000;
  t.last_sample = 1999;
  t.right_max = 12.5L, t.left_max = 11.25L, t.incisal_max = 30;
  t.mvc[0] = 250.5L, t.nl[0] = 4.25L, t.mvc[1] = 240, t.nl[1] = 5;
  t.mvc[2] = 180.75L, t.nl[2] = 3.5L, t.mvc[3] = 170, t.nl[3] = 2;
  // Masseters 3000 / 1000 uV*ms: 3 and 1 uVs, balance (2000 * 100) / 4000 = 50.
  // Temporales 1000 / 3000: 1 and 3 uVs, balance -50.
  set_work(e, 12, 3000, 1000, 1000, 3000);
  std::vector<std::string> lines = experiment_lines(e);
  ASSERT_EQ(lines.size(), 3u + 13u + 1u);
  EXPECT_EQ(lines[3 + 12],
            "  13 |  5 |   1000   1999 |  12.50  11.25  30.00 | 250.50/  4.25  240.00/  5.00 | "
            "180.75/  3.50  170.00/  2.00 |    3    1 |  50 % |    1    3 | -50 %");
}

TEST(ExperimentTableTest, BalancesOnlyFromExperiment13On) {
  Evaluation e = evaluation_of(13);
  e.experiments[11].first_sample = 10;
  e.experiments[11].last_sample = 20;
  set_work(e, 11, 3000, 1000, 1000, 3000);  // experiment 12: work shown, balances stay 0
  set_work(e, 12, 3000, 1000, 1000, 3000);  // experiment 13: balances 50 and -50
  std::vector<std::string> lines = experiment_lines(e);
  const std::string middle =
      " |   0.00   0.00   0.00 |   0.00/  0.00    0.00/  0.00 |   0.00/  0.00    0.00/  0.00 |";
  EXPECT_EQ(lines[3 + 11],
            "  12 |  0 |     10     20" + middle + "    3    1 |   0 % |    1    3 |   0 %");
  EXPECT_EQ(lines[3 + 12],
            "  13 |  0 |      0      0" + middle + "    3    1 |  50 % |    1    3 | -50 %");
}

TEST(ExperimentTableTest, EachBalanceIsGuardedOnItsOwn) {
  Evaluation e = evaluation_of(15);
  set_work(e, 12, 0, 0, 1000, 3000);  // no masseter work: 0, temporalis still -50
  set_work(e, 13, 3000, 1000, 0, 0);  // no temporalis work: masseter 50, temporalis 0
  set_work(e, 14, 0, 2000, 0, 0);     // -100 is four characters and shifts the row
  std::vector<std::string> lines = experiment_lines(e);
  const std::string front =
      " |  0 |      0      0 |   0.00   0.00   0.00 |   0.00/  0.00    0.00/  0.00 |   0.00/  "
      "0.00    0.00/  0.00 |";
  EXPECT_EQ(lines[3 + 12], "  13" + front + "    0    0 |   0 % |    1    3 | -50 %");
  EXPECT_EQ(lines[3 + 13], "  14" + front + "    3    1 |  50 % |    0    0 |   0 %");
  EXPECT_EQ(lines[3 + 14], "  15" + front + "    0    2 | -100 % |    0    0 |   0 %");
}

TEST(ExperimentTableTest, ShortExperimentShowsZeroMvcAndNoiseLevel1000) {
  Evaluation e = evaluation_of(1);
  for (long double& nl : e.experiments[0].nl) nl = 1000;
  std::vector<std::string> lines = experiment_lines(e);
  EXPECT_EQ(lines[3],
            "   1 |  0 |      0      0 |   0.00   0.00   0.00 |   0.00/1000.00    0.00/1000.00 | "
            "  0.00/1000.00    0.00/1000.00 |    0    0 |   0 % |    0    0 |   0 %");
}

// ---------------------------------------------------------------------------------------------
// Balance rows

struct BalanceRowCase {
  const char* label;
  int count;
  long double MR, ML, TR, TL;  // uVs
  const char* expected;
};

TEST(BalanceRowTest, BalancesAndFieldWidths) {
  const BalanceRowCase cases[] = {
      // (5-3)/8 = 25 %; (2-2)/4 = 0 %; (8-4)/12 = 33.3 %.
      {"FK1", 3, 5, 3, 2, 2,
       " FK1 |  3 |    5 |    3 |     25 % |    2 |    2 |      0 % |           33 % "},
      // Masseter work without temporalis work: 0 % and 100 %.
      {"FK2", 12, 5, 3, 0, 0,
       " FK2 | 12 |    5 |    3 |     25 % |    0 |    0 |      0 % |          100 % "},
      // -100 fits the six- and twelve-character fields without shifting the row.
      {"LK1", 0, 0, 4, 0, 6,
       " LK1 |  0 |    0 |    4 |   -100 % |    0 |    6 |   -100 % |          -20 % "},
      {"LK2", 0, 0, 0, 7, 0,
       " LK2 |  0 |    0 |    0 |      0 % |    7 |    0 |    100 % |         -100 % "},
      // 10000 uVs or more widens the four-character work field.
      // A condition's label is padded to a trial's width.
      {"RK", 1, 12345, 0, 0, 0,
       " RK  |  1 | 12345 |    0 |    100 % |    0 |    0 |      0 % |          100 % "},
      // All zero: every guard gives 0.
      {"RK1", 0, 0, 0, 0, 0,
       " RK1 |  0 |    0 |    0 |      0 % |    0 |    0 |      0 % |            0 % "},
  };
  for (const BalanceRowCase& c : cases) {
    std::string text = capture([&](std::FILE* out) {
      write_balance_row(out, balance_row(c.label, c.count, c.MR, c.ML, c.TR, c.TL));
    });
    EXPECT_EQ(text, std::string(c.expected) + "\n") << c.label;
  }
}

TEST(BalanceRowTest, NotANumberSumGivesZeroBalance) {
  const long double nan = std::strtold("nan", nullptr);
  std::string text =
      capture([&](std::FILE* out) { write_balance_row(out, balance_row("FK1", 0, nan, 1, 2, 2)); });
  EXPECT_EQ(text,
            " FK1 |  0 |  nan |    1 |      0 % |    2 |    2 |      0 % |            0 % \n");
}

TEST(BalanceRowTest, SingleTrialShowsItsWorkInUvs) {
  Evaluation e = evaluation_of(0);  // the trials' rows whatever the recording has
  e.experiments[12].threshold_crossings = 4;
  set_work(e, 12, 5000, 3000, 0, 0);  // 5 and 3 uVs: 25 %; no temporalis work: 0 % and 100 %
  std::string text =
      capture([&](std::FILE* out) { write_balance_row(out, balance_tables_of(e).trials[0]); });
  EXPECT_EQ(text,
            " FK1 |  4 |    5 |    3 |     25 % |    0 |    0 |      0 % |          100 % \n");
}

TEST(BalanceRowTest, PairHalvesCountInIntegersAndAveragesWork) {
  Evaluation e = evaluation_of(0);
  e.experiments[14].threshold_crossings = 7;
  e.experiments[15].threshold_crossings = 8;  // (7 + 8) / 2 = 7, truncated
  set_work(e, 14, 3000, 1000, 2000, 0);
  set_work(e, 15, 5000, 3000, 2000, 4000);
  // Means in uVs: MR 4, ML 2, TR 2, TL 2. Balances: 2/6 = 33 %, 0 %, (6-4)/10 = 20 %.
  std::string text =
      capture([&](std::FILE* out) { write_balance_row(out, balance_tables_of(e).pairs[RK]); });
  EXPECT_EQ(text,
            " RK  |  7 |    4 |    2 |     33 % |    2 |    2 |      0 % |           20 % \n");
}

// ---------------------------------------------------------------------------------------------
// Balance section

TEST(BalanceTablesTest, TwelveExperimentsGiveZeroRowsAndTotals) {
  Evaluation e = evaluation_of(12);
  for (int k = 0; k < 12; ++k) {  // experiments before the trials are never read here
    e.experiments[k].threshold_crossings = 9;
    set_work(e, k, 5000, 3000, 2000, 1000);
  }
  std::string text =
      capture([&](std::FILE* out) { write_balance_tables(out, balance_tables_of(e)); });
  const std::string zero_row =
      " |  0 |    0 |    0 |      0 % |    0 |    0 |      0 % |            0 % ";
  std::vector<std::string> expected = kBalanceHeader;
  for (const char* label : {" FK1", " FK2", " RK1", " RK2", " LK1", " LK2"})
    expected.push_back(label + zero_row);
  expected.push_back("");
  expected.insert(expected.end(), kBalanceHeader.begin(), kBalanceHeader.end());
  for (const char* label : {" FK ", " RK ", " LK "}) expected.push_back(label + zero_row);
  expected.push_back("");
  expected.push_back("       | total M | total T | (M+T-M-T)/(M+T+M+T) ");
  expected.push_back("-------+---------+---------+---------------------");
  expected.push_back(" right |       0 |       0 |                 0 % ");
  expected.push_back(" left  |       0 |       0 |                 0 % ");
  expected.push_back(" both  |       0 |       0 |                 0 % ");
  expected.push_back("");
  expected.push_back("Exp. = experiment, C. = Number of chewing cycles");
  expected.push_back("MVC = maximum voluntary contraction, EMG = electromyogram, NL = noise level");
  expected.push_back("FR = free chewing, RK = iright chewing, LK = left chewing");
  expected.push_back(
      "MR = M. masseter right, ML = M. masseter left, TR = M. temporalis right, TL = M. "
      "temporalis left ");
  expected.push_back("M = M. masseter, T = M. temporalis");
  expected.push_back("");
  EXPECT_EQ(lines_of(text), expected);
  EXPECT_EQ(text.back(), '\n');
}

TEST(BalanceTablesTest, RowsFollowTrialOrderAndPairsAverage) {
  Evaluation e = evaluation_of(18);
  for (int k = 12; k < 18; ++k) {
    e.experiments[k].threshold_crossings = k;  // 12..17, pairs (12+13)/2 = 12, 14, 16
    set_work(e, k, 1000 * (k - 11), 0, 0, 0);  // 1..6 uVs
  }
  std::vector<std::string> lines = balance_lines(e);
  const std::string tail = " |    0 |    100 % |    0 |    0 |      0 % |          100 % ";
  EXPECT_EQ(lines[3], " FK1 | 12 |    1" + tail);
  EXPECT_EQ(lines[4], " FK2 | 13 |    2" + tail);
  EXPECT_EQ(lines[5], " RK1 | 14 |    3" + tail);
  EXPECT_EQ(lines[6], " RK2 | 15 |    4" + tail);
  EXPECT_EQ(lines[7], " LK1 | 16 |    5" + tail);
  EXPECT_EQ(lines[8], " LK2 | 17 |    6" + tail);
  // Pair means 1.5, 3.5, 5.5 uVs print as %.0Lf rounds exact halves: to even.
  EXPECT_EQ(lines[13], " FK  | 12 |    2" + tail);
  EXPECT_EQ(lines[14], " RK  | 14 |    4" + tail);
  EXPECT_EQ(lines[15], " LK  | 16 |    6" + tail);
}

TEST(BalanceTablesTest, TotalsSumTheSixTrials) {
  Evaluation e = evaluation_of(18);
  for (int k = 12; k < 18; ++k) set_work(e, k, 1000, 500, 0, 0);
  e.experiments[12].work[2] = 2000;
  e.experiments[17].work[3] = 3000;
  // right: M 6, T 2 -> (4 / 8) 50 %; left: M 3, T 3 -> 0 %; both: M 9, T 5 -> (4 / 14) 28.6 %.
  std::vector<std::string> lines = balance_lines(e);
  ASSERT_EQ(lines.size(), 29u);
  EXPECT_EQ(lines[19], " right |       6 |       2 |                50 % ");
  EXPECT_EQ(lines[20], " left  |       3 |       3 |                 0 % ");
  EXPECT_EQ(lines[21], " both  |       9 |       5 |                29 % ");
}

TEST(BalanceTablesTest, TotalsBalanceOfMinus100KeepsItsField) {
  Evaluation e = evaluation_of(18);
  e.experiments[16].work[0] = 4000;
  e.experiments[17].work[3] = 3000;
  // right: M 4, T 0 -> 100 %; left: M 0, T 3 -> -100 %; both: M 4, T 3 -> (1 / 7) 14.3 %.
  std::vector<std::string> lines = balance_lines(e);
  EXPECT_EQ(lines[19], " right |       4 |       0 |               100 % ");
  EXPECT_EQ(lines[20], " left  |       0 |       3 |              -100 % ");
  EXPECT_EQ(lines[21], " both  |       4 |       3 |                14 % ");
}

// ---------------------------------------------------------------------------------------------
// The whole report: sections in order, each ending where the next begins.

TEST(ReportStructureTest, SectionsFollowEachOtherWithTheirBlankLines) {
  Evaluation e = evaluation_of(18);
  e.header = {"x\n", "x\n", "x\n", "x\n", "1000\n"};
  e.sampling_rate = 1000;
  e.no_entries = 180;
  for (int k = 0; k < 18; ++k) {
    e.experiments[k].first_sample = 10 * k;
    e.experiments[k].last_sample = 10 * k + 9;
  }
  Settings settings;
  settings.rms_time = 20, settings.mvc_time = 1000, settings.nl_time = 1000;
  settings.emg_threshold = 0.03L;
  std::string text = capture([&](std::FILE* out) { write_report(out, settings, derived(e)); });
  std::vector<std::string> lines = lines_of(text);
  // summary 18 + 1, experiments 3 + 18 + 1, balance 29, evaluation 2 + 3 + 6 + 1 + 1 + 1,
  // indices 2 + 8 + 1 + 2 + 3 + 1.
  ASSERT_EQ(lines.size(), 19u + 22u + 29u + 14u + 17u);
  EXPECT_EQ(lines[18], "");
  EXPECT_EQ(lines[19], kExperimentHeader[0]);
  EXPECT_EQ(lines[19 + 21], "");
  EXPECT_EQ(lines[41], kBalanceHeader[0]);
  EXPECT_EQ(lines[69], "");
  EXPECT_EQ(lines[70], "Evaluation tables according to Talvorsen");
  EXPECT_EQ(lines[71], "");
  EXPECT_EQ(lines[83], "");
  EXPECT_EQ(lines[84].rfind("Table                     | M. masseter", 0), 0u);
  EXPECT_EQ(lines[95].rfind("Table              | free chewing", 0), 0u);
  EXPECT_EQ(lines[100], "");
  EXPECT_EQ(text.substr(text.size() - 2), "\n\n");
}

}  // namespace
