// Jaw distances: relative positions, distances, maxima from the fixed positions, direction flags.
#include "analysis/distances.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "recording/store.h"
#include "support/test_support.h"

namespace {

struct PointMaxima {
  const char* name;
  long double Track::*max;
  long double* run_max;
};

const PointMaxima kPointMaxima[kPoints] = {
    {"Right", &Track::Right_max, &Right_max},       {"Left", &Track::Left_max, &Left_max},
    {"Incisal", &Track::Incisal_max, &Incisal_max}, {"UK6_1", &Track::UK6_1_max, &UK6_1_max},
    {"UK6_2", &Track::UK6_2_max, &UK6_2_max},
};

// A number as a data file holds it, read back to the same value.
std::string number(long double v) {
  char text[64];
  std::snprintf(text, sizeof text, "%.25Lg", v);
  return text;
}

// A five-point data file: the calibration, then experiments of samples 1 ms apart, each sample
// given by its 15 positions (EMG and auxiliary values 0).
using Positions = std::vector<long double>;
std::string data_file(const Positions& calibration_line,
                      const std::vector<std::vector<Positions>>& experiments) {
  std::string text = "Calibr";
  for (long double v : calibration_line) text += " " + number(v);
  text += "\n";
  for (const std::vector<Positions>& experiment : experiments) {
    for (std::size_t t = 0; t < experiment.size(); ++t) {
      text += std::to_string(t);
      for (long double v : experiment[t]) text += " " + number(v);
      text += " 0 0 0 0 0\n";
    }
  }
  return text;
}

// Every point at distance d (along x, point p scaled by scale(p)) from a zero calibration.
Positions along_x(
    long double d, long double (*scale)(int) = [](int) { return 1.0L; }) {
  Positions v(kPositionFields, 0);
  for (int p = 0; p < kPoints; ++p) v[3 * p] = d * scale(p);
  return v;
}

std::vector<Positions> experiment_along_x(
    const std::vector<long double>& d, long double (*scale)(int) = [](int) { return 1.0L; }) {
  std::vector<Positions> samples_of;
  for (long double v : d) samples_of.push_back(along_x(v, scale));
  return samples_of;
}

const Positions kZero(kPositionFields, 0);

TEST(DistancesTest, PositionsAreMeasuredFromTheCalibration) {
  // Each point sits at the calibration plus a displacement of integer length; the second sample
  // sits exactly on the calibration.
  struct Case {
    long double cal[3], rel[3], dist;
  };
  const Case cases[] = {
      {{0.5L, -1.25L, 2}, {3, 4, 12}, 13},   {{-7, 0.75L, 100}, {1, -2, 2}, 3},
      {{10.5L, 20.25L, -30}, {2, 3, -6}, 7}, {{0, 0, 0}, {-1, 4, 8}, 9},
      {{1, 1, 1}, {2, -6, 9}, 11},
  };
  Positions reference, displaced, on_reference;
  for (const Case& k : cases) {
    for (int axis = 0; axis < 3; ++axis) {
      reference.push_back(k.cal[axis]);
      displaced.push_back(k.cal[axis] + k.rel[axis]);
    }
  }
  ASSERT_EQ(read_text(data_file(reference, {{displaced, reference}})).status, ReadStatus::ok);
  preprocessing_distances();
  const Case& incisal = cases[kIncisal];
  EXPECT_EQ(samples.incisal_x[0], incisal.rel[0]);
  EXPECT_EQ(samples.incisal_y[0], incisal.rel[1]);
  EXPECT_EQ(samples.incisal_z[0], incisal.rel[2]);
  EXPECT_EQ(samples.incisal_dist[0], incisal.dist);
  EXPECT_EQ(samples.incisal_x[1], 0);
  EXPECT_EQ(samples.incisal_dist[1], 0);
  for (int p = 0; p < kPoints; ++p)
    EXPECT_EQ(tracks[0].*kPointMaxima[p].max, cases[p].dist) << kPointMaxima[p].name;
}

TEST(DistancesTest, SquaresAreSummedXYThenZ) {
  // For this position the three orders of summation give three different extended values.
  const long double x = -5.551L, y = -19.545L, z = -14.279L;
  const long double expected = std::sqrt((x * x + y * y) + z * z);
  ASSERT_NE(expected, std::sqrt(x * x + (y * y + z * z)));
  ASSERT_NE(expected, std::sqrt((x * x + z * z) + y * y));
  Positions at;
  for (int p = 0; p < kPoints; ++p) at.insert(at.end(), {x, y, z});
  ASSERT_EQ(read_text(data_file(kZero, {{at}})).status, ReadStatus::ok);
  preprocessing_distances();
  EXPECT_EQ(samples.incisal_dist[0], expected);
  for (const PointMaxima& p : kPointMaxima) EXPECT_EQ(tracks[0].*p.max, expected) << p.name;
}

TEST(DistancesTest, RunWideMaximaComeFromPositionsTwoAndThreeOnly) {
  // Each experiment holds its maximum v and v - 1 (in either order); point p is scaled by p + 1.
  struct Case {
    const char* name;
    std::vector<long double> maxima;
    long double run_max;
  };
  const Case cases[] = {
      {"larger distances in experiments 1, 2 and 5", {50, 40, 7, 9, 60, 1}, 9},
      {"experiment 3 larger than 4", {50, 40, 9, 7}, 9},
      {"two experiments", {1, 2}, 0},
      {"three experiments", {1, 2, 3}, 3},
      {"no experiment", {}, 0},
  };
  const auto scale = [](int p) { return static_cast<long double>(p + 1); };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    std::vector<std::vector<Positions>> experiments;
    for (std::size_t e = 0; e < k.maxima.size(); ++e) {
      const long double v = k.maxima[e];
      experiments.push_back(e % 2 ? experiment_along_x({v - 1, v}, scale)
                                  : experiment_along_x({v, v - 1}, scale));
    }
    ASSERT_EQ(read_text(data_file(kZero, experiments)).status, ReadStatus::ok);
    preprocessing_distances();
    for (int p = 0; p < kPoints; ++p) {
      for (std::size_t e = 0; e < k.maxima.size(); ++e) {
        EXPECT_EQ(tracks[e].*kPointMaxima[p].max, k.maxima[e] * (p + 1)) << kPointMaxima[p].name;
      }
      EXPECT_EQ(*kPointMaxima[p].run_max, k.run_max * (p + 1)) << kPointMaxima[p].name;
    }
  }
}

TEST(DistancesTest, DirectionFlagsCarryAcrossEqualDistances) {
  const long double nan = std::numeric_limits<long double>::quiet_NaN();
  struct Case {
    std::vector<long double> d;
    std::vector<int> flags;
    long double max;
  };
  const Case cases[] = {
      {{1, 2, 2, 3, 3, 1}, {0, 1, 1, 1, 1, 2}, 3},
      {{4, 4, 3, 3, 5}, {0, 0, 2, 2, 1}, 5},
      {{2, 2, 2}, {0, 0, 0}, 2},
      {{2}, {0}, 2},
      {{0}, {0}, 0},
      // not-a-number compares neither way: the flag is copied and no maximum is taken from it
      {{3, nan, 3, 1, nan}, {0, 0, 0, 2, 2}, 3},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(testing::PrintToString(k.d));
    // The experiment before ends far higher: no flag compares across.
    ASSERT_EQ(
        read_text(data_file(kZero, {experiment_along_x({100}), experiment_along_x(k.d)})).status,
        ReadStatus::ok);
    preprocessing_distances();
    std::vector<int> flags;
    for (int i = tracks[1].first_entry; i <= tracks[1].last_entry; ++i)
      flags.push_back(samples.incisal_dir[i]);
    EXPECT_EQ(flags, k.flags);
    for (const PointMaxima& p : kPointMaxima) EXPECT_EQ(tracks[1].*p.max, k.max) << p.name;
  }
}

TEST(DistancesTest, FromFilesWithAndWithoutCalibration) {
  // Without a calibration line the distances are the lengths of the raw positions. A type-1
  // file carries three points; points 4 and 5 stay at 0. A sample before the first time 0 is
  // measured too, though it belongs to no experiment.
  const std::string no_calibration =
      "5 9 9 9 9 9 9 9 9 9 9 9 9 9 9 9 0 0 0 1 1\n"
      "0 3 4 0 0 0 -5 1 2 2 0 6 8 2 3 6 0 0 0 1 1\n";
  ASSERT_EQ(read_text(no_calibration).status, ReadStatus::ok);
  preprocessing_distances();
  EXPECT_EQ(samples.incisal_dist[0], std::sqrt(243.0L));
  EXPECT_EQ(tracks[0].Right_max, 5);
  EXPECT_EQ(tracks[0].Left_max, 5);
  EXPECT_EQ(samples.incisal_dist[1], 3);
  EXPECT_EQ(tracks[0].UK6_1_max, 10);
  EXPECT_EQ(tracks[0].UK6_2_max, 7);

  const std::string three_points =
      "Calibr 1 1 1 2 2 2 3 3 3\n"
      "0 4 5 13 4 2 2 5 6 9 0 0 0 1 1 1 1\n";
  ASSERT_EQ(read_text(three_points).status, ReadStatus::ok);
  preprocessing_distances();
  EXPECT_EQ(tracks[0].Right_max, 13);     // (3, 4, 12)
  EXPECT_EQ(tracks[0].Left_max, 2);       // (2, 0, 0)
  EXPECT_EQ(samples.incisal_dist[0], 7);  // (2, 3, 6)
  EXPECT_EQ(tracks[0].UK6_1_max, 0);
  EXPECT_EQ(tracks[0].UK6_2_max, 0);
}

// The last calibration line is the reference of every sample, of those before it too: the
// reader measures them anew.
TEST(DistancesTest, ALaterCalibrationLineMeasuresEverySampleAnew) {
  Positions second = kZero, at = kZero;
  for (int p = 0; p < kPoints; ++p) second[3 * p + 1] = 1, at[3 * p + 1] = 4;
  std::string text = data_file(kZero, {{at, at}});
  text += "Calibr";
  for (long double v : second) text += " " + number(v);
  text += "\n";
  ASSERT_EQ(read_text(text).status, ReadStatus::ok);
  preprocessing_distances();
  EXPECT_EQ(samples.incisal_y[0], 3);
  EXPECT_EQ(samples.incisal_dist[1], 3);
  for (const PointMaxima& p : kPointMaxima) EXPECT_EQ(tracks[0].*p.max, 3) << p.name;
}

}  // namespace
