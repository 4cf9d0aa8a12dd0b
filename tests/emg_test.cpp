// EMG conditioning: RMS smoothing, noise level and MVC windows, run-wide values, burst integrals.
#include "analysis/emg.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "recording/store.h"
#include "reference/snapshot.h"
#include "support/test_support.h"

namespace {

constexpr long double Track::*kMvc[] = {&Track::Channel1_mvc, &Track::Channel2_mvc,
                                        &Track::Channel3_mvc, &Track::Channel4_mvc};
constexpr long double Track::*kNl[] = {&Track::Channel1_nl, &Track::Channel2_nl,
                                       &Track::Channel3_nl, &Track::Channel4_nl};
long double* const kRunMvc[] = {&Channel1_mvc, &Channel2_mvc, &Channel3_mvc, &Channel4_mvc};
long double* const kRunNl[] = {&Channel1_nl, &Channel2_nl, &Channel3_nl, &Channel4_nl};

// Appends an experiment with the given time stamps (all EMG values 0); returns its position.
int add_experiment(const std::vector<long long>& times) {
  Track& track = tracks[no_tracks];
  track.first_entry = no_entries;
  for (long long time : times) samples.time[append_sample()] = time;
  track.last_entry = no_entries - 1;
  return no_tracks++;
}

// Time stamps 0, 1, ..., last_ms.
std::vector<long long> every_ms(long long last_ms) {
  std::vector<long long> times;
  for (long long t = 0; t <= last_ms; ++t) times.push_back(t);
  return times;
}

void set_values(int track, int channel, const std::vector<long double>& values) {
  for (std::size_t k = 0; k < values.size(); ++k) {
    samples.channel[channel][tracks[track].first_entry + static_cast<std::size_t>(k)] = values[k];
  }
}

std::vector<long double> field(int track, const std::vector<long double>& column) {
  std::vector<long double> values;
  for (int i = tracks[track].first_entry; i <= tracks[track].last_entry; ++i) {
    values.push_back(column.empty() ? 0 : column[i]);  // an empty column holds +0
  }
  return values;
}

// Channel c's burst integrals, a value per sample.
std::vector<long double> bursts(int c) { return burst_column(samples.bursts[c], no_entries); }

TEST(EmgSmoothingTest, TrailingWindowIsClosedAtBothEndsAndStartsAtTheExperiment) {
  // 1 ms spacing, rms_time 50: a window holds the sample and the 50 before it, fewer near the
  // start. A raw -3 at 0 ms and a raw 2 at 60 ms in an otherwise silent channel show each
  // window's sample count; the loud experiment before must not leak in.
  for (int c = 0; c < 4; ++c) {
    SCOPED_TRACE("channel " + std::to_string(c + 1));
    reset_store();
    const int loud = add_experiment(every_ms(20));
    set_values(loud, c, std::vector<long double>(21, 100));
    const int quiet = add_experiment(every_ms(120));
    const int f = tracks[quiet].first_entry;
    samples.channel[c][f] = -3;
    samples.channel[c][f + 60] = 2;

    preprocessing_emg(50, 500, 100, 0.03L);

    const std::vector<long double> y = field(quiet, samples.channel[c]);
    EXPECT_EQ(y[0], 3);                      // the magnitude of the first raw value
    EXPECT_EQ(y[10], std::sqrt(9.0L / 11));  // 11 samples from the experiment's start
    EXPECT_EQ(y[50], std::sqrt(9.0L / 51));  // 0 ms is exactly 50 ms back: inside
    EXPECT_EQ(y[51], 0);                     // 0 ms is 51 ms back: outside
    EXPECT_EQ(y[59], 0);
    EXPECT_EQ(y[60], std::sqrt(4.0L / 51));  // 51 samples, one of them loud
    EXPECT_EQ(y[110], std::sqrt(4.0L / 51));
    EXPECT_EQ(y[111], 0);
    for (int other = 0; other < 4; ++other) {
      if (other != c) {
        EXPECT_EQ(field(quiet, samples.channel[other]), std::vector<long double>(121, 0));
      }
    }
  }
}

TEST(EmgSmoothingTest, WindowIsMeasuredOnTimeStampsNotSampleCounts) {
  reset_store();
  const int t = add_experiment({0, 30, 60, 70});
  set_values(t, 0, {1, 2, 3, 4});
  preprocessing_emg(50, 500, 100, 0.03L);
  EXPECT_EQ(field(t, samples.channel[0]),
            (std::vector<long double>{1, std::sqrt((4 + 1) / 2.0L), std::sqrt((9 + 4) / 2.0L),
                                      std::sqrt((16 + 9 + 4) / 3.0L)}));
}

TEST(EmgWindowsTest, NoiseLevelAndMvcWindowsHonourTheirConditions) {
  // Time stamps 0, 5, 20, 35, 50, 65 with rms_time 5: only the sample at 5 ms has a second sample
  // in its smoothing window. nl_time = mvc_time = 15: every window holds a sample and its
  // successor. A noise window must start at 5 ms or later and must fit (end at 50 ms at the
  // latest); an MVC window must fit but may start at 0 ms.
  struct Case {
    std::vector<long double> raw;
    long double nl, mvc;
  };
  const Case cases[] = {
      // the start at 0 ms (mean 0.707) is no noise window, the one at 5 ms is
      {{0, 2, 1, 3, 3, 3}, (std::sqrt(2.0L) + 1) / 2, 3},
      // the window at 50 ms still fits (65 - 50 = 15); the one at 65 ms does not
      {{5, 5, 5, 5, 1, 0}, 0.5L, 5},
      // the MVC window at 0 ms counts
      {{8, 8, 1, 1, 1, 1}, 1, 8},
      // the MVC window at 65 ms does not fit
      {{0, 0, 0, 0, 0, 9}, 0, 4.5L},
  };
  reset_store();
  const int t = add_experiment({0, 5, 20, 35, 50, 65});
  for (int c = 0; c < 4; ++c) set_values(t, c, cases[c].raw);
  preprocessing_emg(5, 15, 15, 0.03L);
  for (int c = 0; c < 4; ++c) {
    SCOPED_TRACE("channel " + std::to_string(c + 1));
    EXPECT_EQ(tracks[t].*kNl[c], cases[c].nl);
    EXPECT_EQ(tracks[t].*kMvc[c], cases[c].mvc);
  }
}

TEST(EmgWindowsTest, ShortExperimentsKeepTheStartingValues) {
  // A constant raw -2 smooths to exactly 2. Defaults 50/500/100: a noise window needs an
  // experiment of at least rms_time + nl_time = 150 ms, an MVC window one of 500 ms.
  struct Case {
    long long last_ms;
    long double nl, mvc;
  };
  const Case cases[] = {{149, 1000, 0}, {150, 2, 0}, {499, 2, 0}, {500, 2, 2}};
  for (const Case& k : cases) {
    SCOPED_TRACE("experiment of " + std::to_string(k.last_ms) + " ms");
    reset_store();
    const int t = add_experiment(every_ms(k.last_ms));
    for (int c = 0; c < 4; ++c) {
      set_values(t, c, std::vector<long double>(static_cast<std::size_t>(k.last_ms) + 1, -2));
    }
    preprocessing_emg(50, 500, 100, 0.03L);
    for (int c = 0; c < 4; ++c) {
      EXPECT_EQ(tracks[t].*kNl[c], k.nl);
      EXPECT_EQ(tracks[t].*kMvc[c], k.mvc);
      EXPECT_EQ(*kRunMvc[c], k.mvc);  // one experiment: its MVC is the run-wide one
      EXPECT_EQ(*kRunNl[c], 1000);    // fewer than 13 experiments
    }
  }
}

TEST(EmgRunWideTest, MvcFromPositionsZeroAndOneNoiseLevelFromTwelveOn) {
  // Experiments of three samples 10 ms apart with a constant value v: with rms_time 5 and
  // windows of 0 ms the experiment's MVC and noise level are both v. Channel c carries v * c.
  struct Case {
    const char* name;
    std::vector<long double> per_experiment;
    long double mvc, nl;
  };
  // Positions 2 to 11: the largest MVC at 2, the lowest noise level at 3; neither counts.
  const std::vector<long double> middle = {20, 0.5L, 1, 1, 1, 1, 1, 1, 1, 1};
  auto with = [&](std::vector<long double> head, std::vector<long double> tail) {
    head.insert(head.end(), middle.begin(), middle.end());
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
  };
  const Case cases[] = {
      {"positions 0 and 1, then 12 and 13", with({7, 9}, {6, 4}), 9, 4},
      {"the other order", with({9, 7}, {4, 6}), 9, 4},
      {"twelve experiments", with({3, 2}, {}), 3, 1000},
      {"one experiment", {5}, 5, 1000},
      {"no experiment", {}, 0, 1000},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    reset_store();
    for (long double v : k.per_experiment) {
      const int t = add_experiment({0, 10, 20});
      for (int c = 0; c < 4; ++c) set_values(t, c, std::vector<long double>(3, v * (c + 1)));
    }
    preprocessing_emg(5, 0, 0, 0.03L);
    for (int c = 0; c < 4; ++c) {
      EXPECT_EQ(*kRunMvc[c], k.mvc * (c + 1)) << "channel " << c + 1;
      EXPECT_EQ(*kRunNl[c], k.nl == 1000 ? 1000 : k.nl * (c + 1)) << "channel " << c + 1;
    }
  }
}

TEST(EmgBurstTest, IntegralsOfActiveStretchesHoldTheirTotals) {
  // rms_time 5 with samples at least 10 ms apart leaves the values as they are; windows of 0 ms
  // make MVC the largest and noise level the smallest value (from 10 ms on). Experiment 1 gives
  // the run-wide MVC 8; experiment 2 has the noise level 1, so with a threshold of 0.5 the
  // activity level is 0.5 * 8 + 1 = 5. Channel c carries every value times c, its level is 5 * c.
  const std::vector<long long> times = {0, 10, 30, 40, 55, 70, 90, 100, 120, 130, 145};
  const std::vector<long double> values = {8, 5, 6, 1, 7, 4, 5, 2, 6, 8, 8};
  // Increments x * (t[i+1] - t[i-1]) / 2:
  //   10 ms: 5 * 30 / 2 = 75 (exactly at the level: active; the 8 at 0 ms is not integrated)
  //   30 ms: 75 + 6 * 30 / 2 = 165, the first burst's total, also at 10 ms
  //   55 ms: 7 * 30 / 2 = 105, a burst of one sample
  //   90 ms: 5 * 30 / 2 = 75, separated by one inactive sample from
  //   120 ms: 6 * 30 / 2 = 90 and 130 ms: 90 + 8 * 25 / 2 = 190; the last sample stays 0.
  const std::vector<long double> totals = {0, 165, 165, 0, 105, 0, 75, 0, 190, 190, 0};
  reset_store();
  const int mvc_source = add_experiment({0, 10});
  const int t = add_experiment(times);
  for (int c = 0; c < 4; ++c) {
    const long double scale = c + 1;
    set_values(mvc_source, c, {8 * scale, 8 * scale});
    std::vector<long double> scaled;
    for (long double v : values) scaled.push_back(v * scale);
    set_values(t, c, scaled);
  }
  preprocessing_emg(5, 0, 0, 0.5L);
  for (int c = 0; c < 4; ++c) {
    SCOPED_TRACE("channel " + std::to_string(c + 1));
    const long double scale = c + 1;
    ASSERT_EQ(*kRunMvc[c], 8 * scale);
    ASSERT_EQ(tracks[t].*kNl[c], scale);
    std::vector<long double> expected;
    for (long double b : totals) expected.push_back(b * scale);
    EXPECT_EQ(field(t, bursts(c)), expected);
    // Experiment 1's level is 0.5 * 8 + 8 = 12: nothing active.
    EXPECT_EQ(field(mvc_source, bursts(c)), std::vector<long double>(2, 0));
  }
}

TEST(EmgBurstTest, ConstantSignalIsOneBurstBetweenFirstAndLastSample) {
  // A type-0 file carries two channels. Channel 1 is a constant 2 (-2 in channel 2), so its noise
  // level is 2 and with a threshold of 0 every sample is exactly at the level: one burst over
  // samples 1 to 199 of 2 * 2 / 2 = 2 each, total 398; the first and last sample keep 0.
  // Channels 3 and 4 are silent: everything about them is 0, the noise level included.
  std::string text = "Calibr 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0\n";
  for (int t = 0; t <= 200; ++t) {
    text += std::to_string(t) + " 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 2 -2\n";
  }
  ASSERT_EQ(read_text(text).status, ReadStatus::ok);
  ASSERT_EQ(no_tracks, 1);
  preprocessing_emg(50, 500, 100, 0);

  std::vector<long double> expected(201, 398);
  expected.front() = expected.back() = 0;
  for (int c = 0; c < 2; ++c) {
    EXPECT_EQ(field(0, samples.channel[c]), std::vector<long double>(201, 2));
    EXPECT_EQ(tracks[0].*kNl[c], 2);
    EXPECT_EQ(field(0, bursts(c)), expected);
  }
  for (int c = 2; c < 4; ++c) {
    EXPECT_EQ(field(0, samples.channel[c]), std::vector<long double>(201, 0));
    EXPECT_EQ(field(0, bursts(c)), std::vector<long double>(201, 0));
    EXPECT_EQ(tracks[0].*kMvc[c], 0);
    EXPECT_EQ(tracks[0].*kNl[c], 0);
    EXPECT_EQ(*kRunMvc[c], 0);
  }
}

TEST(EmgWindowsTest, NegativeWindowLengthsGiveEmptyWindows) {
  // The command line rejects these; the stage still gives defined results: an empty smoothing
  // window smooths to 0, and empty noise or MVC windows never qualify.
  reset_store();
  const int t = add_experiment(every_ms(300));
  set_values(t, 0, std::vector<long double>(301, 3));

  preprocessing_emg(50, -1, -1, 0.03L);
  EXPECT_EQ(tracks[t].Channel1_nl, 1000);
  EXPECT_EQ(tracks[t].Channel1_mvc, 0);

  reset_store();
  add_experiment(every_ms(300));
  set_values(t, 0, std::vector<long double>(301, 3));
  preprocessing_emg(-1, 100, 100, 0.03L);
  EXPECT_EQ(field(t, samples.channel[0]), std::vector<long double>(301, 0));
  EXPECT_EQ(tracks[t].Channel1_mvc, 0);
}

TEST(EmgWindowsTest, TimeStampsFarApartDoNotOverflow) {
  // The reader accepts any 64-bit time stamp. Differences are exact, never wrapped: from the
  // largest stamp down to the smallest is a long way back, so the sample at the smallest stamp
  // has all three samples before it in its window.
  const long long big = std::numeric_limits<long long>::max();
  const long long small = std::numeric_limits<long long>::min();
  reset_store();
  const int t = add_experiment({0, big, small, 5});
  set_values(t, 0, {1, 2, 3, 4});
  preprocessing_emg(50, 500, 100, 0.03L);
  EXPECT_EQ(field(t, samples.channel[0]),
            (std::vector<long double>{1, 2, std::sqrt((9 + 4 + 1) / 3.0L), 4}));
}

}  // namespace

namespace {

// The window each MVC and noise level came from: the first window with the extreme mean, worked
// out by hand. rms_time 0 leaves each value its magnitude; samples 1 ms apart.
TEST(EmgWindowsTest, TheFirstWindowWithTheExtremeMeanIsRecorded) {
  reset_store();
  const int t = add_experiment(every_ms(11));
  // mvc_time 1: two-sample windows start at samples 0..10. Means: 1 1 3 5 3 1 1 3 5 3 1; the
  // largest, 5, first at start 3 (samples 3..4); the equal window at 8 does not replace it.
  set_values(t, 0, {1, 1, 1, 5, 5, 1, 1, 1, 5, 5, 1, 1});
  // nl_time 2: three-sample windows starting at 0..9 (rms_time 0 lets them start at 0).
  // Means: 3 2 1 1 1 2 3 ... ; the smallest, 1, first at start 2 (samples 2..4).
  set_values(t, 1, {4, 4, 1, 1, 1, 4, 4, 4, 4, 4, 4, 4});
  // A silent channel: every MVC window's mean is 0, which never beats the starting 0; its noise
  // level 0 comes from the first window.
  preprocessing_emg(0, 1, 2, 0.03L);
  const Track& track = tracks[t];
  EXPECT_EQ(track.Channel1_mvc, 5);
  EXPECT_TRUE(track.mvc_window[0].found);
  EXPECT_EQ(track.mvc_window[0].first, 3);
  EXPECT_EQ(track.mvc_window[0].last, 4);
  EXPECT_EQ(track.Channel2_nl, 1);
  EXPECT_TRUE(track.nl_window[1].found);
  EXPECT_EQ(track.nl_window[1].first, 2);
  EXPECT_EQ(track.nl_window[1].last, 4);
  EXPECT_FALSE(track.mvc_window[2].found);
  EXPECT_TRUE(track.nl_window[2].found);
  EXPECT_EQ(track.nl_window[2].first, 0);
  EXPECT_EQ(track.nl_window[2].last, 2);

  // Too short for any window: no window, MVC 0 and noise level 1000.
  reset_store();
  const int short_one = add_experiment(every_ms(3));
  set_values(short_one, 0, {9, 9, 9, 9});
  preprocessing_emg(0, 500, 100, 0.03L);
  EXPECT_FALSE(tracks[short_one].mvc_window[0].found);
  EXPECT_FALSE(tracks[short_one].nl_window[0].found);
  EXPECT_EQ(tracks[short_one].Channel1_nl, 1000);
}

}  // namespace
