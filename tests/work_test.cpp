// Muscle work: the largest burst totals of every closing phase that closes far enough.
#include "analysis/work.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "analysis/cycles.h"
#include "analysis/distances.h"
#include "analysis/emg.h"
#include "recording/store.h"
#include "support/test_support.h"

namespace {

constexpr long double Track::*kWork[] = {&Track::Channel1_work, &Track::Channel2_work,
                                         &Track::Channel3_work, &Track::Channel4_work};

using Bursts = std::array<long double, 4>;

struct Sample {
  char mark;  // M max_end, m min_start, . none
  long double d;
  Bursts b = {0, 0, 0, 0};
};

int add_experiment(const std::vector<Sample>& rows) {
  Track& track = tracks[no_tracks];
  track.first_entry = no_entries;
  for (const Sample& s : rows) {
    const int i = append_sample();
    samples.cycle_status[i] = s.mark == 'M' ? max_end : s.mark == 'm' ? min_start : 0;
    samples.incisal_dist[i] = s.d;
    for (int c = 0; c < 4; ++c) set_burst(c, i, s.b[c]);
  }
  track.last_entry = no_entries - 1;
  return no_tracks++;
}

Bursts work_of(int t) {
  Bursts w;
  for (int c = 0; c < 4; ++c) w[c] = tracks[t].*kWork[c];
  return w;
}

TEST(MuscleWorkTest, SumsPhaseMaximaOfPhasesThatCloseFarEnough) {
  const Bursts none = {0, 0, 0, 0};
  const Bursts big = {100, 100, 100, 100};
  // With Incisal_max 10 a phase must close by more than 0.1 * 10 (a little over 1 mm).
  const long double tenth_of_10 = static_cast<long double>(0.1) * 10;
  const long double inf = std::numeric_limits<long double>::infinity();
  struct Case {
    const char* name;
    long double incisal_max;
    std::vector<Sample> samples;
    Bursts work;
  };
  const Case cases[] = {
      {"no max_end", 10, {{'.', 9, big}, {'.', 5, big}, {'m', 0, big}, {'.', 1}}, none},
      {"maxima strictly between the marks, per channel",
       10,
       {{'.', 0},
        {'M', 8, big},
        {'.', 6, {5, 1, 0, 7}},
        {'.', 4, {3, 9, 2, 7}},
        {'m', 2, big},
        {'.', 3}},
       {5, 9, 2, 7}},
      {"a failing phase adds nothing and the scan waits for the next max_end",
       10,
       {{'.', 0},
        {'M', 5},
        {'.', 5, big},
        {'m', 4.5L},  // closes by 0.5
        {'.', 5, big},
        {'m', 1, big},  // no phase open
        {'M', 6},
        {'.', 4, {3, 3, 3, 3}},
        {'m', 2},  // closes by 4
        {'M', 7},
        {'.', 4, {2, 1, 0, 4}},
        {'m', 1},  // closes by 6
        {'.', 2}},
       {5, 4, 3, 7}},
      {"closing by exactly a tenth of Incisal_max",
       10,
       {{'.', 0}, {'M', tenth_of_10}, {'.', 0.5L, {7, 7, 7, 7}}, {'m', 0}, {'.', 1}},
       none},
      {"closing by a little more",
       10,
       {{'.', 0},
        {'M', std::nextafter(tenth_of_10, inf)},
        {'.', 0.5L, {7, 7, 7, 7}},
        {'m', 0},
        {'.', 1}},
       {7, 7, 7, 7}},
      {"Incisal_max 0: any closing counts, a level one does not",
       0,
       {{'.', 0},
        {'M', 5},
        {'.', 4.9L, {2, 2, 2, 2}},
        {'m', 4.5L},
        {'M', 6},
        {'.', 5, {10, 10, 10, 10}},
        {'m', 6},
        {'.', 7}},
       {2, 2, 2, 2}},
      {"a phase without activity adds 0", 10, {{'.', 0}, {'M', 9}, {'.', 5}, {'m', 0}}, none},
      {"a phase that closes on the sample after it opens holds no sample, inside a burst",
       10,
       {{'.', 0, big}, {'M', 9, big}, {'m', 0, big}, {'.', 1, big}},
       none},
      {"open at the end", 10, {{'.', 0}, {'M', 9}, {'.', 5, big}, {'.', 0, big}}, none},
      {"a burst reaching into two phases counts in both",
       10,
       {{'.', 0},
        {'M', 8},
        {'.', 6, {5, 0, 5, 0}},
        {'m', 2, {5, 0, 5, 0}},
        {'M', 7, {5, 0, 5, 0}},
        {'.', 5, {5, 0, 5, 0}},
        {'m', 1},
        {'.', 2}},
       {10, 0, 10, 0}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    reset_store();
    Incisal_max = k.incisal_max;
    const int t = add_experiment(k.samples);
    for (int c = 0; c < 4; ++c) tracks[t].*kWork[c] = 99;
    preprocessing_work();
    EXPECT_EQ(work_of(t), k.work);
  }
}

TEST(MuscleWorkTest, EveryExperimentHasItsOwnSum) {
  // Experiments 1 to 12 get their work as well; a phase left open at the end of one experiment
  // does not close in the next.
  reset_store();
  Incisal_max = 10;
  const Sample rest = {'.', 0};
  const int first = add_experiment({rest,
                                    {'M', 9},
                                    {'.', 5, {1, 2, 3, 4}},
                                    {'m', 0},
                                    rest,
                                    {'M', 9},
                                    {'.', 5, {50, 50, 50, 50}}});
  const int second = add_experiment({{'.', 5, {60, 60, 60, 60}}, {'m', 0}, rest});
  const int third = add_experiment({rest, {'M', 9}, {'.', 5, {4, 3, 2, 1}}, {'m', 0}, rest});
  preprocessing_work();
  EXPECT_EQ(work_of(first), (Bursts{1, 2, 3, 4}));
  EXPECT_EQ(work_of(second), (Bursts{0, 0, 0, 0}));
  EXPECT_EQ(work_of(third), (Bursts{4, 3, 2, 1}));
}

// A recording of 13 experiments at 1 ms (three points, four channels) built so that the run-wide
// results are plain numbers:
//  - experiments 1 and 2: constant EMG amplitudes (alternating in sign); their largest values
//    per channel are the run-wide MVC 200, 160, 100, 120 uV. Experiment 1 also opens the jaw to
//    60 mm for one sample, which must not count as a run-wide maximum.
//  - experiments 3 and 4: one opening to 40 and 45 mm, the right point moving to 10 and 12 mm,
//    the left to 8 and 7 mm: run-wide maxima 12, 8 and 45 mm.
//  - experiments 5 to 12: three samples each; experiment 5 opens to 50 mm.
//  - experiment 13: 100 ms at rest, then 7 chewing cycles of 400 ms opening linearly to 15 mm
//    and closing to 0; the last is cut off 50 ms into its closing. EMG noise 5, 4, 3 and 2 uV;
//    bursts 20 to 120 ms into the closing phase: MR (100 uV) in cycles 1 to 4 and 7, TR (100 uV)
//    in cycle 5, ML (90 uV) in cycle 6.
class AnalysisRunTest : public testing::Test {
 protected:
  static std::string recording() {
    std::string text = "Person Test subject\nFrequency    1000\nCalibr 0 0 0 0 0 0 0 0 0\n";
    auto sample = [&](long long t, double right, double left, double incisal,
                      std::array<double, 4> emg) {
      const double sign = t % 2 ? -1 : 1;
      char line[256];
      std::snprintf(line, sizeof line,
                    "%lld %.3f 0 0 0 %.3f 0 0 0 %.3f 0 0 0 %.0f %.0f %.0f %.0f\n", t, right, left,
                    incisal, sign * emg[0], sign * emg[1], sign * emg[2], sign * emg[3]);
      text += line;
    };
    const std::array<double, 4> mvc1 = {200, 150, 100, 80}, mvc2 = {180, 160, 90, 120};
    for (long long t = 0; t < 600; ++t) sample(t, t == 300 ? 20 : 0, 0, t == 300 ? 60 : 0, mvc1);
    for (long long t = 0; t < 600; ++t) sample(t, 0, 0, 0, mvc2);
    const double peaks[2][3] = {{10, 8, 40}, {12, 7, 45}};
    for (const auto& peak : peaks) {
      for (long long t = 0; t <= 600; ++t) {
        const double share = 1 - std::abs(static_cast<double>(t) - 300) / 300;
        sample(t, peak[0] * share, peak[1] * share, peak[2] * share, {10, 10, 10, 10});
      }
    }
    for (int e = 5; e <= 12; ++e) {
      for (long long t = 0; t < 3; ++t) sample(t, 0, 0, e == 5 && t == 1 ? 50 : 0, {0, 0, 0, 0});
    }
    const std::array<double, 4> noise = {5, 4, 3, 2};
    for (long long t = 0; t <= 100 + 6 * 400 + 250; ++t) {
      double incisal = 0;
      std::array<double, 4> emg = noise;
      if (t > 100) {
        const long long cycle = (t - 100) / 400, in_cycle = (t - 100) % 400;
        incisal = in_cycle <= 200 ? 0.075 * in_cycle : 15 - 0.075 * (in_cycle - 200);
        if (in_cycle >= 220 && in_cycle <= 320) {
          if (cycle <= 3 || cycle == 6) emg[0] = 100;
          if (cycle == 4) emg[2] = 100;
          if (cycle == 5) emg[1] = 90;
        }
      }
      sample(t, 0, 0, incisal, emg);
    }
    return text;
  }
};

TEST_F(AnalysisRunTest, StagesFillTheStore) {
  ASSERT_EQ(read_text(recording()).status, ReadStatus::ok);
  ASSERT_EQ(no_tracks, 13);
  preprocessing_emg(50, 500, 100, static_cast<long double>(0.03));
  preprocessing_distances();
  compute_cycles(3);
  preprocessing_work();

  EXPECT_EQ(tracks[0].Channel1_mvc, 200);
  EXPECT_EQ(tracks[1].Channel4_mvc, 120);
  EXPECT_EQ(Channel1_mvc, 200);
  EXPECT_EQ(Channel2_mvc, 160);
  EXPECT_EQ(Channel3_mvc, 100);
  EXPECT_EQ(Channel4_mvc, 120);
  EXPECT_EQ(Channel1_nl, 5);
  EXPECT_EQ(Channel2_nl, 4);
  EXPECT_EQ(Channel3_nl, 3);
  EXPECT_EQ(Channel4_nl, 2);
  EXPECT_EQ(tracks[0].Incisal_max, 60);
  EXPECT_EQ(tracks[4].Incisal_max, 50);
  EXPECT_EQ(Right_max, 12);
  EXPECT_EQ(Left_max, 8);
  EXPECT_EQ(Incisal_max, 45);

  const Track& chewing = tracks[12];
  EXPECT_EQ(chewing.no_cycles, 7);
  // Cycles 1 to 4 (MR) and 6 (ML); cycle 5 has only a temporalis burst, cycle 7 stays open.
  EXPECT_EQ(chewing.no_chewing_cycles, 5);
  for (int t = 0; t < 12; ++t) EXPECT_EQ(tracks[t].no_chewing_cycles, 0) << "position " << t;

  // Every closing phase closes by 15 mm, more than 4.5 mm. The MR bursts of cycles 1 to 4 are
  // alike, so the work is four times one burst's total, added up burst by burst; the burst in
  // the open cycle 7 adds nothing. A burst of ~100 uV over ~100 ms holds about 10000 uV*ms.
  const int f = chewing.first_entry;
  auto middle_of_burst = [&](int cycle) { return f + 100 + cycle * 400 + 270; };
  const long double burst = burst_value(0, middle_of_burst(0));
  EXPECT_GT(burst, 10000);
  EXPECT_LT(burst, 100 * 160);
  for (int cycle : {1, 2, 3}) EXPECT_EQ(burst_value(0, middle_of_burst(cycle)), burst);
  EXPECT_EQ(chewing.Channel1_work, ((burst + burst) + burst) + burst);
  EXPECT_EQ(chewing.Channel2_work, burst_value(1, middle_of_burst(5)));
  EXPECT_EQ(chewing.Channel3_work, burst_value(2, middle_of_burst(4)));
  EXPECT_GT(chewing.Channel2_work, 9000);
  EXPECT_EQ(chewing.Channel4_work, 0);  // level 0.03 * 120 + 2 is never reached
}

TEST_F(AnalysisRunTest, SummaryShowsTheRunWideResults) {
  TempDir dir;
  write_file(dir.file("rec.txt"), recording());
  const CommandResult run = run_program(CHEW_EVAL_PATH, {"rec.txt"}, dir.path());
  ASSERT_EQ(run.status, 0) << run.err;
  const std::vector<std::string> lines = lines_of(read_file(dir.file("rec_output.txt")));
  const char* expected[] = {
      "Number of experiments                 : 13",
      "MVC (M. masseter right/left)          : 200.00 uV / 160.00 uV",
      "MVC (M. temporalsis right/left)       : 100.00 uV / 120.00 uV",
      "NL (M. masseter right/left)           : 5.00 uV 4.00 uV",
      "NL (M. temporalis right/left)         : 3.00 uV 2.00 uV",
      "Maximal distanze right/left/incisal   : 12.00 mm / 8.00 mm / 45.00 mm ",
      "Distance threshold, cycle recognition : 3.00 mm (= 7%)",  // 300 / 45 = 6.67
      "EMG threshold, active phase           : 3% (= 6.00uV  4.80uV 3.00uV  3.60uV)",
  };
  for (const char* line : expected) {
    EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end()) << line;
  }
}

}  // namespace
