// Chewing kinematics: the jaw frame, the movement of the incisal point over each chewing cycle,
// the chewing side of each stroke, and their summaries over a trial or a condition.
//
// Reads  calibration (mm), samples after the distance stage: incisal_x/y/z (mm, relative to
//        the calibration), incisal_dist (mm), incisal_dir, time (ms); tracks[] of the maximal
//        openings; the run-wide MVC of the masseters (uV).
#pragma once

#include <optional>
#include <vector>

#include "analysis/sample_view.h"
#include "protocol/protocol.h"

struct CycleResult;  // analysis/evaluation.h
struct Track;        // recording/store.h

struct Vector3 {
  long double x = 0, y = 0, z = 0;
};

// An orthonormal frame of the jaw, in the recording's coordinates: `lateral` from the left to the
// right calibrated point (+ toward the subject's right), `vertical` the direction the incisal
// point opens in, `ap` = lateral x vertical.
struct JawFrame {
  Vector3 lateral, vertical, ap;
  bool from_openings = false;  // vertical from the maximal openings, not the calibrated plane
  long double opening_mm = 0;  // the maximal opening across the lateral axis (0 without one)
  bool valid = false;          // false when the calibration gives no lateral axis
};

JawFrame jaw_frame();

// The incisal point of sample i relative to sample `origin`, in the frame's coordinates: x along
// the lateral axis, y along the opening axis, z antero-posterior (mm).
Vector3 incisal_in_frame(const JawFrame& frame, int origin, int i);
// The same through a view of the samples that kept the positions.
Vector3 incisal_in_frame(const JawFrame& frame, const SampleView& view, int origin, int i);

// A maximal opening whose part across the lateral axis is shorter than this gives no opening
// axis; the calibrated plane gives it instead.
constexpr long double kFlatOpening_mm = 1;

// Limits of the side rules.
constexpr long double kCentralLateral_mm = 0.5;  // |lateral_mm| below this: a central stroke
constexpr long double kEmgSideMargin = 1.05;     // one masseter's share must exceed this x other's

// The movement of one chewing cycle: from the start of the rise that leads to the maximum that
// opens it (the cycle's `start`), through its peak (its largest incisal distance: the same sample
// unless the jaw opens further within the cycle), to its closing sample (`end`). The peak, the
// closing phase (the cycle's duration) and whether it is confirmed are the cycle's own
// (CycleResult).
struct CycleKinematics {
  int opening_start = 0;    // sample where the rise to the cycle's opening maximum begins
  __int128 opening_ms = 0;  // opening start to peak
  std::optional<__int128> occlusal_ms;  // closing sample to the next cycle's opening start
  long double vertical_mm = 0;          // at the peak along the opening axis, from the start
  long double lateral_mm = 0;           // largest lateral deviation while closing (+ right)
  long double ap_mm = 0;                // at the peak along the antero-posterior axis
  long double path_mm = 0;              // 3-D path over opening and closing
  long double peak_opening_speed = 0;   // mm/s, 3-D, over the opening
  long double peak_closing_speed = 0;   // mm/s, 3-D, over the closing
  char side_kinematic = 'C';            // 'R', 'L' or 'C'
  char side_emg = 0;                    // 'R', 'L', 'B', or 0 when a masseter's MVC is 0
};

// Gives each of a trial's cycles, in order, its kinematics; `cycles` as cycle recognition walked
// them over the samples of `track`, each with its peak.
void add_kinematics(const JawFrame& frame, const Track& track, std::vector<CycleResult>& cycles);

// Mean, sample standard deviation and coefficient of variation (SD / mean x 100, %) of a list.
struct Spread {
  std::optional<long double> mean, sd, cv_pct;
};
Spread spread_of(const std::vector<long double>& values);

// The confirmed cycles of one or more trials, summarised. How many cycles are confirmed is the
// cycles' count (confirmed_count in analysis/cycles.h), not the summary's.
struct KinematicSummary {
  int cycles = 0;
  Spread closing_ms, opening_ms, vertical_mm, lateral_abs_mm, peak_closing_speed;
  int side_right = 0, side_left = 0, side_central = 0;
  std::optional<long double> side_preference_pct, side_agreement_pct, side_switch_rate;
};

// Over every cycle of the given trials, whose cycles all have their kinematics; side switches
// count within a trial only.
KinematicSummary summarise(const std::vector<const std::vector<CycleResult>*>& trials);
