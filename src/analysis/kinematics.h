// Chewing kinematics: the jaw frame, the movement of the incisal point over each chewing stroke
// (analysis/strokes.h finds them), its chewing side and the shape of its loop, and their
// summaries over a trial or a condition.
//
// Reads  calibration (mm), samples after the distance stage: incisal_x/y/z (mm, relative to
//        the calibration), incisal_dist (mm), time (ms), burst integrals (uV*ms); tracks[] of the
//        maximal openings; the run-wide MVC of the masseters (uV).
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
// The incisal point of sample i relative to its calibrated rest position, in the frame (mm).
Vector3 incisal_from_rest(const JawFrame& frame, int i);
// The same two through a view of the samples that kept the positions.
Vector3 incisal_in_frame(const JawFrame& frame, const SampleView& view, int origin, int i);
Vector3 incisal_from_rest(const JawFrame& frame, const SampleView& view, int i);

// A maximal opening whose part across the lateral axis is shorter than this gives no opening
// axis; the calibrated plane gives it instead.
constexpr long double kFlatOpening_mm = 1;

// Limits of the side and shape rules.
constexpr long double kCentralLateral_mm = 0.5;  // |lateral_mm| below this: a central stroke
constexpr long double kEmgSideMargin = 1.05;     // one masseter's share must exceed this x other's
constexpr long double kClosingAngleSpan_mm = 5;  // the closing angle's chord: the last 5 mm
constexpr long double kFlatLoop_mm2 = 1;         // a loop smaller than this has no sequencing

// What the jaw frame gives of a stroke; x, y, z below are the incisal point's coordinates along
// lateral, vertical and ap relative to the stroke's opening start (see incisal_in_frame).
struct StrokeShape {
  long double vertical_mm = 0;  // y at the peak
  long double lateral_mm = 0;   // the x of peak..occlusion with the largest magnitude (+ right)
  long double ap_mm = 0;        // z at the peak
  // The frontal-plane angle of the closing's last kClosingAngleSpan_mm against the opening axis,
  // degrees, + where the jaw comes in from the subject's right; none for a closing of no height.
  std::optional<long double> closing_angle_deg;
  long double frontal_area_mm2 = 0;  // signed area of the loop opening start..occlusion in x, y
  char side_kinematic = 'C';         // 'R', 'L' or 'C'
  char sequencing = 0;               // 'N' normal, 'R' reversed, 0 none (central or flat)
};

// One chewing stroke of a trial: its bounds (sample indices), times, phases and movement.
struct StrokeResult {
  int opening_start = 0, peak = 0, occlusion = 0;
  int next_start = -1;  // the next stroke's opening start; -1 for the trial's last stroke
  long long opening_start_time = 0, peak_time = 0, occlusion_time = 0;  // ms
  __int128 opening_ms = 0;                                              // opening start to peak
  __int128 closing_ms = 0;                                              // peak to occlusion
  std::optional<__int128> occlusal_ms;  // occlusion to the next opening start
  std::optional<__int128> cycle_ms;     // opening start to the next opening start
  long double opening_mm = 0;           // incisal distance: peak - opening start
  long double path_mm = 0;              // 3-D path of the incisal point, opening start..occlusion
  long double peak_opening_speed = 0;   // mm/s, 3-D, opening start..peak
  long double peak_closing_speed = 0;   // mm/s, 3-D, peak..occlusion
  std::optional<StrokeShape> shape;     // none without a jaw frame
  char side_emg = 0;                    // 'R', 'L', 'B'; 0 without masseter MVC
  std::optional<bool> emg_confirmed;    // none without EMG
  int cycle = 0;                        // the classic cycle holding the peak (1, 2, ..), 0 none
};

// The strokes of a chewing trial (track), with the classic cycles walked over it: each stroke
// learns the cycle holding its peak, each cycle its first and last stroke. Needs the incisal
// positions (samples.positions_kept); `frame` may be invalid. `emg`: the recording carries EMG.
std::vector<StrokeResult> measure_strokes(const JawFrame& frame, const Track& track, bool emg,
                                          std::vector<CycleResult>& cycles);

// Mean, sample standard deviation and coefficient of variation (SD / mean x 100, %) of a list.
struct Spread {
  std::optional<long double> mean, sd, cv_pct;
};
Spread spread_of(const std::vector<long double>& values);

// Strokes of one or more trials, summarised.
struct StrokeSummary {
  int strokes = 0;
  Spread opening_ms, closing_ms, occlusal_ms, cycle_ms, vertical_mm, lateral_abs_mm,
      peak_opening_speed, peak_closing_speed;
  std::optional<long double> frequency_hz;  // 1000 / the mean cycle_ms
  int side_right = 0, side_left = 0, side_central = 0;
  std::optional<long double> side_preference_pct, side_agreement_pct, side_switch_rate;
  std::optional<long double> reversed_pct;  // reversed among the strokes with a sequencing
};

// Over the strokes of the given trials, or only those the masseters confirmed; side switches
// count between consecutive strokes of the set within a trial.
StrokeSummary summarise(const std::vector<const std::vector<StrokeResult>*>& trials,
                        bool confirmed_only);
