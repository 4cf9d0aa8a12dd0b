// Index tables: asymmetry and chewing-side indices, MVC, mean work, MVC-based work, cycle counts,
// durations and chewing frequencies of the three chewing conditions. Expected lines are worked
// out from the row formats; the arithmetic is in the comments.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "recording/store.h"
#include "report/index_tables.h"
#include "support/hand_evaluation.h"
#include "support/test_support.h"

namespace {

std::vector<std::string> index_lines(const Evaluation& e) {
  return lines_of(capture([&](std::FILE* out) { write_index_tables(out, index_values(e)); }));
}

void set_trial(Evaluation& e, int position, int first, int last, int cycles) {
  e.experiments[position].first_sample = first;
  e.experiments[position].last_sample = last;
  e.experiments[position].chewing_cycles = cycles;
}

// Line numbers of the rows.
constexpr int kRow1 = 2, kRow2 = 3, kRow3 = 4, kRow4 = 5, kRow5 = 6, kRow6 = 7, kRow7 = 8,
              kRow8 = 9, kRow9 = 13, kRow10 = 14, kRow11 = 15;

TEST(IndexTablesTest, MuscleWorkAsymmetryAndMeanWork) {
  Evaluation e = evaluation_of(18);
  // Pair sums W: MR FK 60000, RK 0.5, LK 30000; ML FK 40000, RK 0.3, LK 50000;
  // TR FK 8000, TL FK 2000, the other temporalis pairs 0.
  set_work(e, 12, 30000, 20000, 4000, 1000);
  set_work(e, 13, 30000, 20000, 4000, 1000);
  set_work(e, 14, 0.25L, 0.3L, 0, 0);
  set_work(e, 15, 0.25L, 0, 0, 0);
  set_work(e, 16, 10000, 25000, 0, 0);
  set_work(e, 17, 20000, 25000, 0, 0);
  std::vector<std::string> lines = index_lines(e);
  // AI: (20000 / 100000) 20.0; 0.8 is not above 1: 0.0; (-20000 / 80000) -25.0;
  // temporales (6000 / 10000) 60.0, then sums of 0: 0.0.
  EXPECT_EQ(lines[kRow1],
            "1 mikroVolt_AI  (%)       | asindex_fk     20.0 | asindex_rk      0.0 | asindex_lk    "
            "-25.0 | asindex_fk     60.0 | asindex_rk      0.0 | asindex_lk      0.0");
  // W / 2000: MR 30, 0.00025, 15; TR 4, 0, 0.  ML 20, 0.00015, 25; TL 1, 0, 0.
  EXPECT_EQ(
      lines[kRow4],
      "4 mikroVolt_MuscleWork_re | rm_fk          30.0 | rm_rk           0.0 | rm_lk          "
      "15.0 | rm_fk           4.0 | rm_rk           0.0 | rm_lk           0.0");
  EXPECT_EQ(
      lines[kRow5],
      "5 mikroVolt_MuscleWork_li | lm_fk          20.0 | lm_rk           0.0 | lm_lk          "
      "25.0 | lm_fk           1.0 | lm_rk           0.0 | lm_lk           0.0");
}

TEST(IndexTablesTest, ChewingSideIndexOfEachMuscle) {
  Evaluation e = evaluation_of(18);
  // Right-side against left-side chewing: MR 3000 / 1000 -> 50.0, ML 1000 / 3000 -> -50.0,
  // TR 1 / 0 (sum exactly 1, not above it) -> 0.0, TL 2 / 0 -> 100.0.
  set_work(e, 14, 3000, 1000, 1, 2);
  set_work(e, 16, 1000, 3000, 0, 0);
  set_work(e, 12, 99999, 0, 99999, 0);  // free chewing takes no part in row 2
  std::vector<std::string> lines = index_lines(e);
  EXPECT_EQ(lines[kRow2],
            "2 mikroVolt_DCI (%)       |                     | massindex_re   50.0 | massindex_li  "
            "-50.0 |                     | massindex_re    0.0 | massindex_li  100.0");
}

TEST(IndexTablesTest, MvcRowTakesTheLargerOfTheTwoMvcExperiments) {
  Evaluation e = evaluation_of(18);
  e.experiments[0].mvc[0] = 250.5L;
  e.experiments[1].mvc[0] = 200;
  e.experiments[0].mvc[1] = 100;
  e.experiments[1].mvc[1] = 300.25L;
  e.experiments[0].mvc[2] = 80;
  e.experiments[1].mvc[2] = 80;
  // Position 1's value whenever position 0's is not greater, also when position 0's is NaN.
  e.experiments[0].mvc[3] = std::strtold("nan", nullptr);
  e.experiments[1].mvc[3] = 90.1L;
  std::vector<std::string> lines = index_lines(e);
  EXPECT_EQ(lines[kRow3],
            "3 mikroVolt_MVC           |                     | mvc_re       250.50 | mvc_li       "
            "300.25 |                     | mvc_li        80.00 | mvc_li        90.10");
}

TEST(IndexTablesTest, MvcBasedRowsDivideThePairSumsBy20) {
  Evaluation e = evaluation_of(18);
  auto& V = e.mvc_cycle_work.value;
  V[12][0] = 300, V[13][0] = 100;  // Wmvc MR FK 20
  V[12][1] = 100, V[13][1] = 100;  // ML FK 10: AI (10 / 30) 33.3
  V[14][0] = 10, V[14][1] = 10;    // MR, ML RK 0.5 each: sum 1 is not above 1, AI 0.0
  V[17][1] = 40;                   // ML LK 2, MR LK 0: AI -100.0, wider than its field
  V[12][2] = 200, V[13][3] = 200;  // TR, TL FK 10 each: AI 0.0
  V[15][2] = 60;                   // TR RK 3, TL RK 0: AI 100.0
  std::vector<std::string> lines = index_lines(e);
  EXPECT_EQ(lines[kRow6],
            "6 MVCbased_AI             | asindex_fkmvc  33.3 | asindex_rlmvc   0.0 | asindex_lkmvc "
            "-100.0 | asindex_fkmvc   0.0 | asindex_rlmvc 100.0 | asindex_lkmvc   0.0");
  EXPECT_EQ(
      lines[kRow7],
      "7 MVCbased_MuscleWork_re  | rm_fkmvc       20.0 | rm_rkmvs        0.5 | rm_lkmvc        "
      "0.0 | rt_fkmvc       10.0 | rt_rkmvc        3.0 | rt_lkmvc        0.0");
  EXPECT_EQ(
      lines[kRow8],
      "8 MVCbased_Musclework_li  | lm_fkmvc       10.0 | lm_rkmvs        0.5 | lm_lkmvc        "
      "2.0 | lt_fkmvc       10.0 | lt_rkmvc        0.0 | lt_lkmvc        0.0");
}

TEST(IndexTablesTest, WideValuesWidenTheirFields) {
  Evaluation e = evaluation_of(18);
  e.mvc_cycle_work.value[12][0] = 2e11L;  // Wmvc 1e10: thirteen characters in a field of ten
  std::vector<std::string> lines = index_lines(e);
  EXPECT_EQ(
      lines[kRow7],
      "7 MVCbased_MuscleWork_re  | rm_fkmvc 10000000000.0 | rm_rkmvs        0.0 | rm_lkmvc     "
      "   0.0 | rt_fkmvc        0.0 | rt_rkmvc        0.0 | rt_lkmvc        0.0");
}

TEST(IndexTablesTest, CountsDurationsAndFrequencies) {
  Evaluation e = evaluation_of(18);
  e.sampling_rate = 1000;
  set_trial(e, 12, 100000, 120000, 20);
  set_trial(e, 13, 120001, 140000, 22);
  set_trial(e, 14, 140001, 150000, 7);
  set_trial(e, 15, 150001, 160001, 8);
  // LK trials hold zeros.
  std::vector<std::string> lines = index_lines(e);
  // Row 9: (20 + 22) / 2 = 21; (7 + 8) / 2 = 7.5; 0.
  EXPECT_EQ(lines[kRow9], " 9 AnzahlKauzyklen | akz_m1    21.0 | akz_m2     7.5 | akz_m3     0.0");
  // Row 10: (140000 - 100000) / 2000 = 20; (160001 - 140001) / 2000 = 10; 0 / 2000.
  EXPECT_EQ(lines[kRow10], "10 DauerKausequenz | dauer_m1 20.00 | dauer_m2 10.00 | dauer_m3  0.00");
  // Row 11: (20000 / 20000 + 22000 / 19999) / 2 = 1.0500275; (7000 / 9999 + 8000 / 10000) / 2
  // = 0.750035; LK: (0 / 0 + 0 / 0) / 2 is not a number.
  EXPECT_EQ(lines[kRow11], "11 Kaufrequenz     | fre_m1   1.050 | fre_m2   0.750 | fre_m3    -nan");
}

TEST(IndexTablesTest, FrequencyIsTheLeadingNumberOfTheHeaderText) {
  reset_store();
  const char* texts[] = {" 500.0 Hz\n", "Hz\n", "1000\n"};  // no leading number: 0
  const long double rates[] = {500, 0, 1000};
  for (int n = 0; n < 3; ++n) {
    std::strcpy(frequency, texts[n]);
    EXPECT_EQ(sampling_rate(), rates[n]) << texts[n];
  }
  Evaluation e = evaluation_of(18);
  e.sampling_rate = 500;
  set_trial(e, 12, 0, 5000, 10);
  set_trial(e, 13, 5001, 10000, 10);
  std::vector<std::string> lines = index_lines(e);
  // Row 10: 10000 / 1000 = 10; row 11: (5000 / 5000 + 5000 / 4999) / 2 = 1.0001.
  EXPECT_EQ(lines[kRow10], "10 DauerKausequenz | dauer_m1 10.00 | dauer_m2  0.00 | dauer_m3  0.00");
  EXPECT_EQ(lines[kRow11], "11 Kaufrequenz     | fre_m1   1.000 | fre_m2    -nan | fre_m3    -nan");
}

TEST(IndexTablesTest, DegenerateFrequencyAndTrials) {
  Evaluation e = evaluation_of(18);
  e.sampling_rate = 0;  // a frequency text without a leading number
  set_trial(e, 12, 0, 5000, 10);
  set_trial(e, 13, 5001, 10000, 10);
  set_trial(e, 14, 200, 200, 3);  // one sample: index difference 0
  set_trial(e, 15, 201, 300, 3);
  std::vector<std::string> lines = index_lines(e);
  // Row 10: 10000 / 0 infinite; 100 / 0 infinite; 0 / 0 not a number.
  EXPECT_EQ(lines[kRow10], "10 DauerKausequenz | dauer_m1   inf | dauer_m2   inf | dauer_m3  -nan");
  // Row 11: 10 * 0 / 5000 = 0 for both FK trials; RK: 3 * 0 / 0 is 0 / 0, not a number.
  EXPECT_EQ(lines[kRow11], "11 Kaufrequenz     | fre_m1   0.000 | fre_m2    -nan | fre_m3    -nan");

  e.sampling_rate = 1000;  // f > 0: a one-sample trial with cycles is infinite
  lines = index_lines(e);
  EXPECT_EQ(lines[kRow11], "11 Kaufrequenz     | fre_m1   2.000 | fre_m2     inf | fre_m3    -nan");
}

TEST(IndexTablesTest, TwelveExperimentsGiveTheWholeSectionWithZeros) {
  Evaluation e = evaluation_of(12);
  e.sampling_rate = 1000;
  for (int k = 0; k < 12; ++k) {  // experiments before the trials are never read here, but MVC
    set_work(e, k, 5000, 3000, 2000, 1000);
    set_trial(e, k, 10 * k, 10 * k + 9, 4);
  }
  e.experiments[0].mvc[0] = 250.5L;
  e.experiments[1].mvc[1] = 300.25L;
  e.experiments[0].mvc[2] = 80;
  e.experiments[1].mvc[3] = 90.1L;
  std::string text = capture([&](std::FILE* out) { write_index_tables(out, index_values(e)); });
  const std::vector<std::string> expected = {
      "Table                     | M. masseter                                                     "
      "| M. temporalis",
      "--------------------------+---------------------+---------------------+-------------------"
      "--+---------------------+---------------------+---------------------",
      "1 mikroVolt_AI  (%)       | asindex_fk      0.0 | asindex_rk      0.0 | asindex_lk      0.0 "
      "| asindex_fk      0.0 | asindex_rk      0.0 | asindex_lk      0.0",
      "2 mikroVolt_DCI (%)       |                     | massindex_re    0.0 | massindex_li    0.0 "
      "|                     | massindex_re    0.0 | massindex_li    0.0",
      "3 mikroVolt_MVC           |                     | mvc_re       250.50 | mvc_li       300.25 "
      "|                     | mvc_li        80.00 | mvc_li        90.10",
      "4 mikroVolt_MuscleWork_re | rm_fk           0.0 | rm_rk           0.0 | rm_lk           0.0 "
      "| rm_fk           0.0 | rm_rk           0.0 | rm_lk           0.0",
      "5 mikroVolt_MuscleWork_li | lm_fk           0.0 | lm_rk           0.0 | lm_lk           0.0 "
      "| lm_fk           0.0 | lm_rk           0.0 | lm_lk           0.0",
      "6 MVCbased_AI             | asindex_fkmvc   0.0 | asindex_rlmvc   0.0 | asindex_lkmvc   0.0 "
      "| asindex_fkmvc   0.0 | asindex_rlmvc   0.0 | asindex_lkmvc   0.0",
      "7 MVCbased_MuscleWork_re  | rm_fkmvc        0.0 | rm_rkmvs        0.0 | rm_lkmvc        0.0 "
      "| rt_fkmvc        0.0 | rt_rkmvc        0.0 | rt_lkmvc        0.0",
      "8 MVCbased_Musclework_li  | lm_fkmvc        0.0 | lm_rkmvs        0.0 | lm_lkmvc        0.0 "
      "| lt_fkmvc        0.0 | lt_rkmvc        0.0 | lt_lkmvc        0.0",
      "",
      "Table              | free chewing   | right chewing  | left chewing",
      "-------------------+----------------+----------------+----------------",
      " 9 AnzahlKauzyklen | akz_m1     0.0 | akz_m2     0.0 | akz_m3     0.0",
      "10 DauerKausequenz | dauer_m1  0.00 | dauer_m2  0.00 | dauer_m3  0.00",
      "11 Kaufrequenz     | fre_m1    -nan | fre_m2    -nan | fre_m3    -nan",
      "",
  };
  EXPECT_EQ(lines_of(text), expected);
  EXPECT_EQ(text.substr(text.size() - 6), "-nan\n\n");
}

}  // namespace
