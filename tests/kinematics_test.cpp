// Chewing strokes and their kinematics on hand-built signals and recordings whose every value is
// worked out by hand: where strokes start, peak and close; a stroke straight down, one swinging
// 2 mm to the right or the left while closing, one reversed; the jaw frame from the maximal
// opening and from the calibrated plane; the summaries of a trial.
#include "analysis/kinematics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "analysis/evaluation.h"
#include "analysis/strokes.h"
#include "pipeline/pipeline.h"
#include "support/test_support.h"

namespace {

TEST(StrokesTest, OpeningStartPeakAndOcclusionOfHandBuiltDistances) {
  struct Case {
    const char* what;
    std::vector<long double> distance;  // mm, one sample every 10 ms
    std::vector<StrokeBounds> strokes;  // opening start, peak, occlusion, closing minimum
  };
  const Case cases[] = {
      // The closing ends where the jaw stops closing fast, not at the lowest sample.
      {"one stroke drifting into occlusion",
       {1, 1, 4, 9, 12, 9, 4, 1.0, 0.98, 0.96, 0.94, 0.94},
       {{1, 4, 7, 10}}},
      // 12 after 10 over a dip to 8: a fall of 2 mm is less than 40 % of the opening.
      {"a double peak is one stroke", {0, 4, 10, 8, 12, 6, 1, 0, 0}, {{0, 4, 7, 7}}},
      // Down from 12 to 5 (58 %) and up again: two strokes, though never below 3 mm.
      {"a closing held above the threshold parts two strokes",
       {0, 5, 12, 9, 5, 5, 9, 13, 6, 1, 0, 0},
       {{0, 2, 4, 4}, {5, 7, 10, 10}}},
      {"movements under 2 mm are none", {0, 1.5, 0, 1.8, 0.2, 0}, {}},
      // 2.5 mm is under a fifth of the median opening of 15 mm.
      {"a twitch small against the trial's strokes is none",
       {0, 8, 15, 8, 0, 2.5, 0, 8, 15, 8, 0, 0},
       {{0, 2, 4, 4}, {6, 8, 10, 10}}},
      {"a stroke that has not closed by the end is none", {0, 6, 12, 10}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<long long> time;
    for (std::size_t i = 0; i < c.distance.size(); ++i) time.push_back(10 * i);
    const std::vector<StrokeBounds> found =
        find_strokes(c.distance.data(), time.data(), 0, static_cast<int>(c.distance.size()) - 1);
    ASSERT_EQ(found.size(), c.strokes.size());
    for (std::size_t k = 0; k < found.size(); ++k) {
      EXPECT_EQ(found[k].opening_start, c.strokes[k].opening_start) << k;
      EXPECT_EQ(found[k].peak, c.strokes[k].peak) << k;
      EXPECT_EQ(found[k].occlusion, c.strokes[k].occlusion) << k;
      EXPECT_EQ(found[k].closing_min, c.strokes[k].closing_min) << k;
    }
  }
}

// The calibration: right point at x = -50, left at x = +50 (x grows toward the subject's left),
// the incisal point 100 mm forward. So the lateral axis is (-1, 0, 0) and the opening axis, from
// a maximal opening straight down, (0, -1, 0).
const std::string kCalibration = "Calibr -50 0 0 50 0 0 0 0 100 0 0 0 0 0 0\n";

// A five-point sample: time, the incisal point `right` mm toward the subject's right and `open`
// mm opened, the other points at rest, masseter EMG `emg` on both channels.
std::string sample(int time, double right, double open, int emg = 0) {
  char line[256];
  std::snprintf(line, sizeof line, "%d -50 0 0 50 0 0 %g %g 100 0 0 0 0 0 0 0 0 0 %d %d\n", time,
                -right, -open, emg, emg);
  return line;
}

struct Point {
  double right, open;
};

// Twelve experiments (the third a maximal opening straight down by 20 mm unless `opening` is
// false), then one chewing trial through `path`, 10 ms apart, and a last rise of 5 mm. Without
// MVC experiments any burst confirms.
std::string recording(const std::vector<Point>& path, bool opening = true) {
  std::string text = kCalibration;
  for (int k = 0; k < 12; ++k) {
    text += sample(0, 0, 0);
    if (k == 2 && opening) text += sample(10, 0, 20) + sample(20, 0, 0);
  }
  int time = 0;
  for (const Point& p : path) text += sample(time, p.right, p.open, 2000), time += 10;
  return text + sample(time, 0, 5, 2000);
}

Evaluation evaluated(const std::string& text) {
  EXPECT_EQ(read_text(text).status, ReadStatus::ok);
  Settings settings;
  run_analysis(settings);
  return evaluate(settings.emg_threshold, settings.dist_threshold);
}

TEST(KinematicsTest, StrokeShapeSideAndSequencing) {
  struct Case {
    const char* what;
    std::vector<Point> path;
    long double lateral_mm, area_mm2, angle_deg;
    char side, sequencing;
  };
  const long double right_angle = std::atan2(2.0L, 5.0L) * (180 / std::acos(-1.0L));
  const Case cases[] = {
      // Area: the shoelace over (0,0) (0,5) (0,10) (2,5) (0,0) is -20 / 2; the closing's last
      // 5 mm run from (2,5) to (0,0).
      {"straight down, back from the right",
       {{0, 0}, {0, 5}, {0, 10}, {2, 5}, {0, 0}},
       2,
       -10,
       right_angle,
       'R',
       'N'},
      {"straight down, back from the left",
       {{0, 0}, {0, 5}, {0, 10}, {-2, 5}, {0, 0}},
       -2,
       10,
       -right_angle,
       'L',
       'N'},
      // Out to the right while opening, straight back: (0,0) (2,5) (2,10) (0,5) (0,0) gives +20
      // / 2.
      {"opening out to the right is reversed",
       {{0, 0}, {2, 5}, {2, 10}, {0, 5}, {0, 0}},
       2,
       10,
       0,
       'R',
       'R'},
      {"straight up and down", {{0, 0}, {0, 5}, {0, 10}, {0, 5}, {0, 0}}, 0, 0, 0, 'C', 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Evaluation e = evaluated(recording(c.path));
    ASSERT_TRUE(e.frame.valid && e.frame.from_openings);
    ASSERT_EQ(e.trials.size(), 1u);
    ASSERT_EQ(e.trials[0].strokes.size(), 1u);
    const StrokeResult& s = e.trials[0].strokes[0];
    EXPECT_EQ(s.opening_start, 14);  // 12 one-sample experiments and two more in the third
    EXPECT_EQ(s.peak, 16);
    EXPECT_EQ(s.occlusion, 18);
    EXPECT_EQ(s.opening_ms, 20);
    EXPECT_EQ(s.closing_ms, 20);
    EXPECT_FALSE(s.cycle_ms.has_value());  // the trial's last stroke
    ASSERT_TRUE(s.shape.has_value());
    EXPECT_EQ(s.shape->vertical_mm, 10);
    EXPECT_EQ(s.shape->ap_mm, 0);
    EXPECT_EQ(s.shape->lateral_mm, c.lateral_mm);
    EXPECT_EQ(s.shape->frontal_area_mm2, c.area_mm2);
    ASSERT_TRUE(s.shape->closing_angle_deg.has_value());
    EXPECT_NEAR(static_cast<double>(*s.shape->closing_angle_deg), static_cast<double>(c.angle_deg),
                1e-12);
    EXPECT_EQ(s.shape->side_kinematic, c.side);
    EXPECT_EQ(s.shape->sequencing, c.sequencing);
    const long double first_step = std::sqrt(c.path[1].right * c.path[1].right + 25.0L);
    EXPECT_EQ(s.peak_opening_speed, (first_step * 1000) / 10);  // the first step is the fastest
    EXPECT_EQ(s.side_emg, 0);          // no MVC experiment: the run-wide MVC is 0
    EXPECT_EQ(s.emg_confirmed, true);  // any burst beats 10 x an MVC of 0
    EXPECT_EQ(s.cycle, 1);             // the classic cycle 1 holds its peak
    EXPECT_EQ(e.trials[0].cycles.at(0).first_stroke, 1);
  }
}

TEST(KinematicsTest, AHeldClosingIsTwoStrokesInOneClassicCycle) {
  // Down from 12 to 5 mm, never below the 3 mm threshold, then a second stroke to rest.
  const Evaluation e = evaluated(recording(
      {{0, 0}, {0, 5}, {0, 12}, {1, 8}, {0, 5}, {0, 5}, {0, 9}, {0, 13}, {1, 6}, {0, 0}}));
  const TrialEvaluation& trial = e.trials.at(0);
  ASSERT_EQ(trial.strokes.size(), 2u);
  ASSERT_EQ(trial.cycles.size(), 1u);
  EXPECT_EQ(trial.cycles[0].first_stroke, 1);
  EXPECT_EQ(trial.cycles[0].last_stroke, 2);
  EXPECT_EQ(trial.strokes[0].cycle, 1);
  EXPECT_EQ(trial.strokes[1].cycle, 1);
  EXPECT_EQ(*trial.strokes[0].cycle_ms, 50);          // 0 ms to the second opening start at 50 ms
  EXPECT_EQ(*trial.strokes[0].occlusal_ms, 10);       // the hold at 5 mm from 40 to 50 ms
  EXPECT_EQ(trial.strokes[1].shape->vertical_mm, 8);  // from the hold at 5 mm to 13
}

TEST(KinematicsTest, FrameFromTheMaximalOpeningOrFromTheCalibratedPlane) {
  const std::vector<Point> path = {{0, 0}, {0, 5}, {0, 10}, {2, 5}, {0, 0}};
  const Evaluation opening = evaluated(recording(path));
  EXPECT_EQ(opening.frame.lateral.x, -1);
  EXPECT_EQ(opening.frame.vertical.y, -1);
  EXPECT_EQ(opening.frame.ap.z, 1);  // (-1, 0, 0) x (0, -1, 0) = (0, 0, 1): forward
  // Without an opening the plane of right, left and incisal point gives the same axes here.
  const Evaluation plane = evaluated(recording(path, false));
  EXPECT_FALSE(plane.frame.from_openings);
  EXPECT_EQ(plane.frame.vertical.y, -1);
  EXPECT_EQ(plane.trials[0].strokes.at(0).shape->lateral_mm, 2);
  // Right and left calibrated at one place give no lateral axis: the strokes keep their times.
  std::string one_place = recording(path);
  one_place.replace(0, kCalibration.size(), "Calibr 0 0 0 0 0 0 0 0 100 0 0 0 0 0 0\n");
  const Evaluation no_axis = evaluated(one_place);
  EXPECT_FALSE(no_axis.frame.valid);
  ASSERT_EQ(no_axis.trials[0].strokes.size(), 1u);
  EXPECT_FALSE(no_axis.trials[0].strokes[0].shape.has_value());
  EXPECT_EQ(no_axis.trials[0].strokes[0].closing_ms, 20);
}

TEST(KinematicsTest, TrialSummaryOfAllAndOfConfirmedStrokes) {
  struct Hand {
    long long opening, cycle;  // ms; cycle 0: the trial's last stroke
    char side, emg_side, sequencing;
    bool confirmed;
  };
  const Hand hand[] = {{100, 600, 'R', 'R', 'N', true},
                       {200, 700, 'R', 'L', 'N', false},
                       {300, 800, 'L', 'L', 'R', true},
                       {400, 0, 'L', 'L', 'N', true}};
  std::vector<StrokeResult> trial;
  for (const Hand& h : hand) {
    StrokeResult s;
    s.opening_ms = h.opening;
    if (h.cycle > 0) s.cycle_ms = h.cycle;
    s.shape = StrokeShape{};
    s.shape->side_kinematic = h.side;
    s.shape->sequencing = h.sequencing;
    s.side_emg = h.emg_side;
    s.emg_confirmed = h.confirmed;
    trial.push_back(s);
  }
  const StrokeSummary all = summarise({&trial}, false);
  EXPECT_EQ(all.strokes, 4);
  EXPECT_EQ(*all.opening_ms.mean, 250);
  EXPECT_EQ(*all.cycle_ms.mean, 700);
  EXPECT_EQ(*all.cycle_ms.sd, 100);  // sqrt((100^2 + 0 + 100^2) / 2)
  EXPECT_EQ(*all.frequency_hz, 1000.0L / 700);
  EXPECT_EQ(*all.side_preference_pct, 0);      // 2 right, 2 left
  EXPECT_EQ(*all.side_agreement_pct, 75);      // R=R, R!=L, L=L, L=L
  EXPECT_EQ(*all.side_switch_rate, 1.0L / 3);  // R->R, R->L, L->L
  EXPECT_EQ(*all.reversed_pct, 25);
  const StrokeSummary confirmed = summarise({&trial}, true);
  EXPECT_EQ(confirmed.strokes, 3);
  EXPECT_EQ(*confirmed.opening_ms.mean, (100 + 300 + 400) / 3.0L);
  EXPECT_EQ(*confirmed.side_switch_rate, 0.5L);  // R->L, L->L between confirmed strokes
  // A condition counts switches within each trial, never across the two.
  const StrokeSummary both = summarise({&trial, &trial}, false);
  EXPECT_EQ(*both.side_switch_rate, 1.0L / 3);
  // One stroke has a mean but no spread.
  const std::vector<StrokeResult> lone(trial.begin(), trial.begin() + 1);
  const StrokeSummary alone = summarise({&lone}, false);
  EXPECT_TRUE(alone.opening_ms.mean && !alone.opening_ms.sd && !alone.side_switch_rate);
}

}  // namespace
