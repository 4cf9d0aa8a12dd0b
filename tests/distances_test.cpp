// Jaw distances: relative positions, distances, maxima from the fixed positions, direction flags.
#include "analysis/distances.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "recording/store.h"
#include "support/test_support.h"

namespace {

struct PointFields {
  const char* name;
  long double Entry::*x;
  long double Entry::*y;
  long double Entry::*z;
  long double Entry::*dist;
  std::uint8_t Entry::*dir;
  long double Track::*max;
  long double* run_max;
};

const PointFields kPoints[] = {
    {"Right", &Entry::Right_x, &Entry::Right_y, &Entry::Right_z, &Entry::Right_dist,
     &Entry::Right_dir, &Track::Right_max, &Right_max},
    {"Left", &Entry::Left_x, &Entry::Left_y, &Entry::Left_z, &Entry::Left_dist, &Entry::Left_dir,
     &Track::Left_max, &Left_max},
    {"Incisal", &Entry::Incisal_x, &Entry::Incisal_y, &Entry::Incisal_z, &Entry::Incisal_dist,
     &Entry::Incisal_dir, &Track::Incisal_max, &Incisal_max},
    {"UK6_1", &Entry::UK6_1_x, &Entry::UK6_1_y, &Entry::UK6_1_z, &Entry::UK6_1_dist,
     &Entry::UK6_1_dir, &Track::UK6_1_max, &UK6_1_max},
    {"UK6_2", &Entry::UK6_2_x, &Entry::UK6_2_y, &Entry::UK6_2_z, &Entry::UK6_2_dist,
     &Entry::UK6_2_dir, &Track::UK6_2_max, &UK6_2_max},
};

// Appends an experiment of n samples; returns its position.
int add_experiment(int n) {
  Track& track = tracks[no_tracks];
  track.first_entry = no_entries;
  no_entries += n;
  track.last_entry = no_entries - 1;
  return no_tracks++;
}

// Appends an experiment whose samples put every point at distance d[k] (along x) from a zero
// calibration.
int add_distances(const std::vector<long double>& d) {
  const int t = add_experiment(static_cast<int>(d.size()));
  for (std::size_t k = 0; k < d.size(); ++k) {
    for (const PointFields& p : kPoints) entries[tracks[t].first_entry + k].*p.x = d[k];
  }
  return t;
}

TEST(DistancesTest, PositionsBecomeRelativeToTheCalibration) {
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
  reset_store();
  const int t = add_experiment(2);
  const int f = tracks[t].first_entry;
  for (int p = 0; p < 5; ++p) {
    const Case& k = cases[p];
    calibration.*kPoints[p].x = k.cal[0];
    calibration.*kPoints[p].y = k.cal[1];
    calibration.*kPoints[p].z = k.cal[2];
    entries[f].*kPoints[p].x = k.cal[0] + k.rel[0];
    entries[f].*kPoints[p].y = k.cal[1] + k.rel[1];
    entries[f].*kPoints[p].z = k.cal[2] + k.rel[2];
    entries[f + 1].*kPoints[p].x = k.cal[0];
    entries[f + 1].*kPoints[p].y = k.cal[1];
    entries[f + 1].*kPoints[p].z = k.cal[2];
  }
  preprocessing_distances();
  for (int p = 0; p < 5; ++p) {
    SCOPED_TRACE(kPoints[p].name);
    const PointFields& q = kPoints[p];
    EXPECT_EQ(entries[f].*q.x, cases[p].rel[0]);
    EXPECT_EQ(entries[f].*q.y, cases[p].rel[1]);
    EXPECT_EQ(entries[f].*q.z, cases[p].rel[2]);
    EXPECT_EQ(entries[f].*q.dist, cases[p].dist);
    EXPECT_EQ(entries[f + 1].*q.x, 0);
    EXPECT_EQ(entries[f + 1].*q.dist, 0);
    EXPECT_EQ(tracks[t].*q.max, cases[p].dist);
  }
}

TEST(DistancesTest, SquaresAreSummedXYThenZ) {
  // For this position the three orders of summation give three different extended values.
  const long double x = -5.551L, y = -19.545L, z = -14.279L;
  const long double expected = std::sqrt((x * x + y * y) + z * z);
  ASSERT_NE(expected, std::sqrt(x * x + (y * y + z * z)));
  ASSERT_NE(expected, std::sqrt((x * x + z * z) + y * y));
  reset_store();
  const int t = add_experiment(1);
  for (const PointFields& p : kPoints) {
    entries[tracks[t].first_entry].*p.x = x;
    entries[tracks[t].first_entry].*p.y = y;
    entries[tracks[t].first_entry].*p.z = z;
  }
  preprocessing_distances();
  for (const PointFields& p : kPoints) {
    EXPECT_EQ(entries[tracks[t].first_entry].*p.dist, expected) << p.name;
  }
}

TEST(DistancesTest, RunWideMaximaComeFromPositionsTwoAndThreeOnly) {
  // Each experiment holds its maximum v and v - 1 (in either order); point p is scaled by p.
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
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    reset_store();
    for (std::size_t e = 0; e < k.maxima.size(); ++e) {
      const long double v = k.maxima[e];
      const int t = e % 2 ? add_distances({v - 1, v}) : add_distances({v, v - 1});
      for (int p = 0; p < 5; ++p) {
        for (int i = tracks[t].first_entry; i <= tracks[t].last_entry; ++i) {
          entries[i].*kPoints[p].x *= p + 1;
        }
      }
    }
    preprocessing_distances();
    for (int p = 0; p < 5; ++p) {
      for (std::size_t e = 0; e < k.maxima.size(); ++e) {
        EXPECT_EQ(tracks[e].*kPoints[p].max, k.maxima[e] * (p + 1)) << kPoints[p].name;
      }
      EXPECT_EQ(*kPoints[p].run_max, k.run_max * (p + 1)) << kPoints[p].name;
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
    reset_store();
    add_distances({100});  // the experiment before ends far higher: no flag compares across
    const int t = add_distances(k.d);
    preprocessing_distances();
    for (const PointFields& p : kPoints) {
      std::vector<int> flags;
      for (int i = tracks[t].first_entry; i <= tracks[t].last_entry; ++i) {
        flags.push_back(entries[i].*p.dir);
      }
      EXPECT_EQ(flags, k.flags) << p.name;
      EXPECT_EQ(tracks[t].*p.max, k.max) << p.name;
    }
  }
}

TEST(DistancesTest, FromFilesWithAndWithoutCalibration) {
  // Without a calibration line the distances are the lengths of the raw positions. A type-1
  // file carries three points; points 4 and 5 stay at 0. Samples before the first time 0 keep
  // their positions.
  const std::string no_calibration =
      "5 9 9 9 9 9 9 9 9 9 9 9 9 9 9 9 0 0 0 1 1\n"
      "0 3 4 0 0 0 -5 1 2 2 0 6 8 2 3 6 0 0 0 1 1\n";
  ASSERT_EQ(read_text(no_calibration).status, ReadStatus::ok);
  preprocessing_distances();
  const Entry& s = entries[1];
  EXPECT_EQ(entries[0].Right_x, 9);
  EXPECT_EQ(entries[0].Right_dist, 0);
  EXPECT_EQ(s.Right_dist, 5);
  EXPECT_EQ(s.Left_dist, 5);
  EXPECT_EQ(s.Incisal_dist, 3);
  EXPECT_EQ(s.UK6_1_dist, 10);
  EXPECT_EQ(s.UK6_2_dist, 7);

  const std::string three_points =
      "Calibr 1 1 1 2 2 2 3 3 3\n"
      "0 4 5 13 4 2 2 5 6 9 0 0 0 1 1 1 1\n";
  ASSERT_EQ(read_text(three_points).status, ReadStatus::ok);
  preprocessing_distances();
  EXPECT_EQ(entries[0].Right_dist, 13);   // (3, 4, 12)
  EXPECT_EQ(entries[0].Left_dist, 2);     // (2, 0, 0)
  EXPECT_EQ(entries[0].Incisal_dist, 7);  // (2, 3, 6)
  EXPECT_EQ(entries[0].UK6_1_dist, 0);
  EXPECT_EQ(entries[0].UK6_2_dist, 0);
}

}  // namespace
