// Chewing-cycle recognition: turning-point marks, threshold crossings, confirmed chewing cycles.
#include "analysis/cycles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "recording/store.h"
#include "support/test_support.h"

namespace {

struct Sample {
  long double d;               // incisal distance, mm
  long double b1 = 0, b2 = 0;  // masseter burst integrals, uV*ms
  long double b3 = 0, b4 = 0;  // temporalis burst integrals
};

// Appends an experiment with these incisal distances and their direction flags (1 rose, 2 fell,
// else the previous flag; 0 at the first sample). Every status byte starts as garbage.
int add_experiment(const std::vector<Sample>& rows) {
  Track& track = tracks[no_tracks];
  track.first_entry = no_entries;
  for (std::size_t k = 0; k < rows.size(); ++k) {
    const int i = append_sample();
    samples.incisal_dist[i] = rows[k].d;
    set_burst(0, i, rows[k].b1);
    set_burst(1, i, rows[k].b2);
    set_burst(2, i, rows[k].b3);
    set_burst(3, i, rows[k].b4);
    if (k == 0) {
      samples.incisal_dir[i] = 0;
    } else {
      const long double d = samples.incisal_dist[i], before = samples.incisal_dist[i - 1];
      samples.incisal_dir[i] = d > before ? 1 : before > d ? 2 : samples.incisal_dir[i - 1];
    }
    samples.cycle_status[i] = 0xff;
  }
  track.last_entry = no_entries - 1;
  return no_tracks++;
}

int add_distances(const std::vector<long double>& d) {
  std::vector<Sample> rows;
  for (long double v : d) rows.push_back({v});
  return add_experiment(rows);
}

// The marks of an experiment, one character per sample: M max_end, m min_start, . none,
// ? anything else.
std::string marks(int t) {
  std::string text;
  for (int i = tracks[t].first_entry; i <= tracks[t].last_entry; ++i) {
    const int status = samples.cycle_status[i];
    text += status == 0 ? '.' : status == max_end ? 'M' : status == min_start ? 'm' : '?';
  }
  return text;
}

TEST(CycleMarksTest, TurningPointsOfTheIncisalDistance) {
  const long double two = 2;
  const long double above_two = std::nextafter(two, 3.0L);
  struct Case {
    const char* name;
    std::vector<long double> d;
    std::string marks;
  };
  const Case cases[] = {
      {"sharp turns", {1, 4, 2, 5, 3}, ".MmM."},
      {"level minimum: first sample", {5, 2, 2, 2, 6}, ".m..."},
      {"level maximum: last sample", {1, 4, 4, 2}, "..M."},
      {"a value one bit above ends the level stretch", {5, above_two, two, two, 6}, "..m.."},
      {"level start then a maximum", {3, 3, 5, 2}, "..M."},
      {"level start then a minimum", {3, 3, 1, 4}, "..m."},
      {"level throughout", {3, 3, 3}, "..."},
      {"the last sample is never marked", {1, 4, 2}, ".M."},
      {"minimum on the second sample", {5, 2, 4}, ".m."},
      {"one sample", {7}, "."},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    reset_store();
    add_distances({1, 9, 1, 9});  // a moving experiment before: marks stay within their own
    const int t = add_distances(k.d);
    compute_cycles(3);
    EXPECT_EQ(marks(0), ".Mm.");
    EXPECT_EQ(marks(t), k.marks);
  }
}

TEST(CycleMarksTest, UpwardCrossingsOfTheThreshold) {
  struct Case {
    std::vector<long double> d;
    long double thr;
    int crossings;
  };
  const Case cases[] = {
      {{3, 4}, 3, 1},                                 // from exactly at the threshold: counts
      {{4, 3}, 3, 0},       {{2, 4, 3, 3.5L}, 3, 2},  // 4 to 3 is none; 3 to 3.5 is one
      {{2, 4, 3, 2}, 3, 1}, {{1, 5, 1, 5, 1}, 3, 2}, {{3, 3, 3}, 3, 0},
      {{2.5L, 3.5L}, 3, 1}, {{2.5L, 3.5L}, 3.5L, 0},  // to exactly at the threshold: none
      {{7}, 3, 0},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(testing::PrintToString(k.d) + " threshold " + std::to_string((double)k.thr));
    reset_store();
    const int t = add_distances(k.d);
    tracks[t].no_cycles = 99;
    compute_cycles(k.thr);
    EXPECT_EQ(tracks[t].no_cycles, k.crossings);
  }
}

TEST(ChewingCyclesTest, ConfirmedByEitherMasseterAboveTenTimesMvc) {
  // Threshold 3 mm. Run-wide MVC 2 uV (MR) and 3 uV (ML): a confirming burst integral exceeds
  // 20 or 30 uV*ms. The experiment sits at position 12, the first chewing trial.
  struct Case {
    const char* name;
    std::vector<Sample> samples;
    long double mvc1, mvc2;
    int cycles;
  };
  const Case cases[] = {
      {"MR above 10 x MVC", {{0}, {5}, {4, 21}, {1}, {2}}, 2, 3, 1},
      {"exactly 10 x MVC in both", {{0}, {5}, {4, 20, 30}, {1}, {2}}, 2, 3, 0},
      {"ML above 10 x MVC", {{0}, {5}, {4, 0, 30.5L}, {1}, {2}}, 2, 3, 1},
      {"the opening sample does not count", {{0}, {5, 100, 100}, {4}, {1}, {2}}, 2, 3, 0},
      {"the closing sample counts", {{0}, {5}, {4}, {1, 21}, {2}}, 2, 3, 1},
      {"temporales take no part", {{0}, {5}, {4, 0, 0, 1000, 1000}, {1}, {2}}, 2, 3, 0},
      {"opening below the threshold", {{0}, {2.9L}, {2, 100}, {1}, {2}}, 2, 3, 0},
      {"opening exactly at the threshold", {{0}, {3}, {2, 100}, {1}, {2}}, 2, 3, 1},
      // the minimum at 3 does not close, the maximum after it does not restart (which would
      // drop the burst at the minimum): one cycle
      {"two openings, one closing", {{0}, {5}, {3, 100}, {4}, {1}, {2}}, 2, 3, 1},
      // closing there would leave the burst on the second maximum outside any cycle
      {"a minimum exactly at the threshold does not close",
       {{0}, {5}, {3}, {4, 100}, {1}, {2}},
       2,
       3,
       1},
      {"two cycles", {{0}, {5}, {4, 21}, {1}, {6}, {4, 0, 31}, {1}, {2}}, 2, 3, 2},
      {"one confirmed, one not", {{0}, {5}, {4, 21}, {1}, {6}, {4, 20}, {1}, {2}}, 2, 3, 1},
      {"open at the end", {{0}, {5}, {4, 100, 100}, {3.5L, 100, 100}}, 2, 3, 0},
      {"MVC 0: any positive integral", {{0}, {5}, {4, 1e-30L}, {1}, {2}}, 0, 0, 1},
      {"MVC 0: none without activity", {{0}, {5}, {4}, {1}, {2}}, 0, 0, 0},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    reset_store();
    for (int t = 0; t < 12; ++t) add_distances({0});
    const int t = add_experiment(k.samples);
    ASSERT_EQ(t, 12);
    Channel1_mvc = k.mvc1;
    Channel2_mvc = k.mvc2;
    tracks[t].no_chewing_cycles = 99;
    compute_cycles(3);
    EXPECT_EQ(tracks[t].no_chewing_cycles, k.cycles);
  }
}

TEST(ChewingCyclesTest, OnlyChewingTrialsCountChewingCycles) {
  // The same confirmed cycle in 14 experiments: chewing cycles at positions 12 and 13 only,
  // threshold crossings everywhere.
  reset_store();
  for (int t = 0; t < 14; ++t) add_experiment({{0}, {5}, {4, 21, 31}, {1}, {2}});
  Channel1_mvc = 2;
  Channel2_mvc = 3;
  compute_cycles(3);
  for (int t = 0; t < 14; ++t) {
    EXPECT_EQ(tracks[t].no_chewing_cycles, t >= 12 ? 1 : 0) << "position " << t;
    EXPECT_EQ(tracks[t].no_cycles, 1) << "position " << t;
    EXPECT_EQ(marks(t), ".M.m.") << "position " << t;
  }
}

}  // namespace
