// Chewing kinematics on hand-built recordings whose every value is worked out by hand: a pure
// vertical stroke, one that deviates 2 mm to the right while closing, one 2 mm to the left; the
// jaw frame from the maximal opening and from the calibrated plane; the summaries of a trial.
#include "analysis/kinematics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "analysis/evaluation.h"
#include "pipeline/pipeline.h"
#include "support/test_support.h"

namespace {

// The calibration: right point at x = -50, left at x = +50 (x grows toward the subject's left),
// the incisal point 100 mm forward. So the lateral axis is (-1, 0, 0).
const std::string kCalibration = "Calibr -50 0 0 50 0 0 0 0 100 0 0 0 0 0 0\n";

// A five-point sample: time, the incisal point displaced by (x, y, z) from the calibration, the
// other points at rest, masseter EMG `emg` on both channels.
std::string sample(int time, double x, double y, double z, int emg = 0) {
  char line[256];
  std::snprintf(line, sizeof line, "%d -50 0 0 50 0 0 %g %g %g 0 0 0 0 0 0 0 0 0 %d %d\n", time, x,
                y, 100 + z, emg, emg);
  return line;
}

// Twelve experiments (the third a maximal opening straight down by 20 mm unless `opening` is
// false), then one chewing trial: 10 ms steps, the incisal point opening straight down (-y) to
// 10 mm, closing through (lateral, -5, 0), back to rest, and rising again. Without MVC
// experiments any burst confirms a cycle.
std::string recording(double lateral, bool opening = true) {
  std::string text = kCalibration;
  for (int k = 0; k < 12; ++k) {
    text += sample(0, 0, 0, 0);
    if (k == 2 && opening) text += sample(10, 0, -20, 0) + sample(20, 0, 0, 0);
  }
  text += sample(0, 0, 0, 0, 2000) + sample(10, 0, -5, 0, 2000) + sample(20, 0, -10, 0, 2000) +
          sample(30, lateral, -5, 0, 2000) + sample(40, 0, 0, 0, 2000) + sample(50, 0, -5, 0, 2000);
  return text;
}

Evaluation evaluated(const std::string& text) {
  EXPECT_EQ(read_text(text).status, ReadStatus::ok);
  Settings settings;
  run_analysis(settings);
  return evaluate(settings.emg_threshold, settings.dist_threshold);
}

TEST(KinematicsTest, StrokesStraightDownAndToEitherSide) {
  struct Case {
    double lateral;  // mm along x while closing; x grows to the left
    long double lateral_mm;
    char side;
  };
  for (const Case& c : {Case{0, 0, 'C'}, Case{-2, 2, 'R'}, Case{2, -2, 'L'}}) {
    SCOPED_TRACE("lateral " + std::to_string(c.lateral));
    const Evaluation e = evaluated(recording(c.lateral));
    ASSERT_TRUE(e.frame.valid);
    EXPECT_TRUE(e.frame.from_openings);
    ASSERT_EQ(e.trials.size(), 1u);
    ASSERT_EQ(e.trials[0].cycles.size(), 1u);
    const CycleResult& cycle = e.trials[0].cycles[0];
    ASSERT_TRUE(cycle.kinematics.has_value());
    const CycleKinematics& k = *cycle.kinematics;
    EXPECT_TRUE(cycle.cycle.confirmed);
    EXPECT_EQ(e.experiments[12].chewing_cycles, 1);
    EXPECT_EQ(k.opening_start, 14);           // 12 one-sample experiments and two more in the third
    EXPECT_EQ(k.opening_ms, 20);              // 0 ms to the maximum at 20 ms
    EXPECT_EQ(cycle.duration_ms, 20);         // 20 ms to the closing sample at 40 ms
    EXPECT_FALSE(k.occlusal_ms.has_value());  // the trial's last cycle
    EXPECT_EQ(k.vertical_mm, 10);
    EXPECT_EQ(k.ap_mm, 0);
    EXPECT_EQ(k.lateral_mm, c.lateral_mm);
    EXPECT_EQ(k.side_kinematic, c.side);
    // Path: 5 + 5 down, then twice sqrt(lateral^2 + 25) back up.
    const long double back = std::sqrt(static_cast<long double>(c.lateral * c.lateral) + 25);
    EXPECT_EQ(k.path_mm, 10 + back + back);
    EXPECT_EQ(k.peak_opening_speed, 500);  // 5 mm in 10 ms
    EXPECT_EQ(k.peak_closing_speed, (back * 1000) / 10);
    EXPECT_EQ(k.side_emg, 0);  // no MVC experiment: the run-wide MVC is 0
  }
}

TEST(KinematicsTest, ADoublePeakOpensAtItsFirstMaximumAndPeaksAtItsLargest) {
  // The jaw opens to 10 mm, closes to 8 (a minimum above the threshold does not end the cycle),
  // opens on to 12 and closes through 3 mm to the right.
  std::string text = recording(0);
  text.resize(text.find("0 -50 0 0 50 0 0 0 0 100 0 0 0 0 0 0 0 0 0 2000"));
  text += sample(0, 0, 0, 0, 2000) + sample(10, 0, -5, 0, 2000) + sample(20, 0, -10, 0, 2000) +
          sample(30, 0, -8, 0, 2000) + sample(40, 0, -12, 0, 2000) + sample(50, -3, -4, 0, 2000) +
          sample(60, 0, 0, 0, 2000) + sample(70, 0, -5, 0, 2000);
  const Evaluation e = evaluated(text);
  ASSERT_EQ(e.trials.at(0).cycles.size(), 1u);
  const CycleResult& cycle = e.trials[0].cycles[0];
  ASSERT_TRUE(cycle.kinematics.has_value());
  const CycleKinematics& k = *cycle.kinematics;
  EXPECT_EQ(cycle.cycle.start, 16);  // the first maximum opens the cycle
  EXPECT_EQ(cycle.peak, 18);         // the second, larger one is its peak
  EXPECT_EQ(cycle.peak_time, 40);    // ms
  EXPECT_EQ(cycle.incisal_max, 12);  // mm, the distance at the peak
  EXPECT_EQ(cycle.amplitude, 12);    // back to rest at the closing sample
  EXPECT_EQ(k.opening_ms, 40);       // 0 ms to the peak at 40 ms
  EXPECT_EQ(cycle.duration_ms, 40);  // 20 ms (opening maximum) to 60 ms
  EXPECT_EQ(k.vertical_mm, 12);
  EXPECT_EQ(k.lateral_mm, 3);
  EXPECT_EQ(k.side_kinematic, 'R');
  EXPECT_EQ(k.peak_opening_speed, 500);  // 5 mm in 10 ms, the fastest step up to the peak
  // Closing from the peak: (-3, 8) then (3, 4): sqrt(73) mm in 10 ms is the fastest step.
  EXPECT_EQ(k.peak_closing_speed, (std::sqrt(73.0L) * 1000) / 10);
}

TEST(KinematicsTest, FrameFromTheMaximalOpeningOrFromTheCalibratedPlane) {
  const Evaluation opening = evaluated(recording(-2));
  EXPECT_EQ(opening.frame.lateral.x, -1);
  EXPECT_EQ(opening.frame.vertical.y, -1);
  EXPECT_EQ(opening.frame.ap.z, 1);  // (-1, 0, 0) x (0, -1, 0) = (0, 0, 1): forward
  // Without an opening the plane of right, left and incisal point gives the same axes here.
  const Evaluation plane = evaluated(recording(-2, false));
  EXPECT_FALSE(plane.frame.from_openings);
  EXPECT_EQ(plane.frame.vertical.x, 0);
  EXPECT_EQ(plane.frame.vertical.y, -1);
  EXPECT_EQ(plane.frame.vertical.z, 0);
  EXPECT_EQ(plane.trials[0].cycles[0].kinematics->lateral_mm, 2);
  // Without a calibration there is no frame and no kinematics.
  std::string uncalibrated = recording(-2);
  uncalibrated.erase(0, kCalibration.size());
  const Evaluation none = evaluated(uncalibrated);
  EXPECT_FALSE(none.frame.valid);
  for (const CycleResult& cycle : none.trials[0].cycles) EXPECT_FALSE(cycle.kinematics);
  // Right and left calibrated at one place give no lateral axis: the cycle keeps its figures.
  std::string one_place = recording(-2);
  one_place.replace(0, kCalibration.size(), "Calibr 0 0 0 0 0 0 0 0 100 0 0 0 0 0 0\n");
  const Evaluation no_axis = evaluated(one_place);
  ASSERT_EQ(no_axis.trials[0].cycles.size(), 1u);
  const CycleResult& cycle = no_axis.trials[0].cycles[0];
  EXPECT_TRUE(!no_axis.frame.valid && !cycle.kinematics);
  EXPECT_EQ(cycle.peak, 16);
  EXPECT_EQ(cycle.duration_ms, 20);
}

TEST(KinematicsTest, TrialSummaryOfConfirmedCycles) {
  // Cycles with kinematics, hand-built: the summary reads their duration as the closing phase.
  std::vector<CycleResult> first(4), second(2);
  for (CycleResult* cycle : {&first[0], &first[1], &first[2], &first[3], &second[0], &second[1]})
    cycle->kinematics = CycleKinematics{};
  const long double closing[] = {100, 200, 300};
  const char kinematic[] = {'R', 'R', 'L'};
  const char emg[] = {'R', 'L', 'L'};
  for (int j = 0; j < 3; ++j) {
    first[j].cycle.confirmed = true;
    first[j].duration_ms = static_cast<__int128>(closing[j]);
    first[j].kinematics->side_kinematic = kinematic[j];
    first[j].kinematics->side_emg = emg[j];
  }
  first[3].duration_ms = 5000;  // not confirmed: counted as a cycle only
  const KinematicSummary one = summarise({&first});
  EXPECT_EQ(one.cycles, 4);
  EXPECT_EQ(one.side_right + one.side_left + one.side_central, 3);  // the confirmed ones
  EXPECT_EQ(*one.closing_ms.mean, 200);
  EXPECT_EQ(*one.closing_ms.sd, 100);  // sqrt((100^2 + 0 + 100^2) / 2)
  EXPECT_EQ(*one.closing_ms.cv_pct, 50);
  EXPECT_EQ(one.side_right, 2);
  EXPECT_EQ(one.side_left, 1);
  EXPECT_EQ(*one.side_preference_pct, (1.0L / 3) * 100);
  EXPECT_EQ(*one.side_agreement_pct, (2.0L / 3) * 100);  // R=R, R!=L, L=L
  EXPECT_EQ(*one.side_switch_rate, 0.5L);                // R->R, R->L
  // A condition: switches are counted within each trial, never across the two.
  second[0].cycle.confirmed = second[1].cycle.confirmed = true;
  second[0].kinematics->side_kinematic = 'R', second[1].kinematics->side_kinematic = 'R';
  const KinematicSummary both = summarise({&first, &second});
  EXPECT_EQ(both.side_right + both.side_left + both.side_central, 5);
  EXPECT_EQ(*both.side_switch_rate, 1.0L / 3);  // 1 switch over 2 + 1 pairs
  // A single confirmed cycle has a mean but no spread.
  std::vector<CycleResult> lone(1);
  lone[0].cycle.confirmed = true;
  lone[0].kinematics = CycleKinematics{};
  const KinematicSummary alone = summarise({&lone});
  EXPECT_TRUE(alone.closing_ms.mean.has_value());
  EXPECT_FALSE(alone.closing_ms.sd.has_value());
  EXPECT_FALSE(alone.side_switch_rate.has_value());
}

}  // namespace
