// The measures clinicians take from the tasks other than chewing: the range of motion and the
// path of the maximal opening from the border movements, and the symmetry of the muscles'
// activity in a clench. Which experiment holds which task, the lab's protocol says.
//
// Reads  the incisal positions (mm, relative to the calibration; samples.positions_kept) and the
//        jaw frame; each clench's smoothed EMG (uV) over its MVC windows and their time stamps
//        (ms), taken as the experiment is conditioned (clench_window).
#pragma once

#include <optional>
#include <vector>

#include "analysis/kinematics.h"
#include "protocol/lab_protocol.h"

// The smoothed EMG of one experiment over its clench window: from the first sample of the
// earliest of its channels' MVC windows to the last sample of the latest (of the windows that
// qualified), the same samples for every channel, so that right and left compare sample by
// sample.
struct ClenchWindow {
  bool found = false;  // some channel's MVC window qualified
  int first = 0, last = -1;
  std::vector<long long> time;                // ms
  std::vector<long double> value[kChannels];  // uV; 0 for a channel whose values are all 0
};

// Experiment t's clench window, while its smoothed values are at hand (after its conditioning).
ClenchWindow clench_window(int t);

// A border movement, in the jaw frame, from the calibrated rest position (mm); none where the
// recording has no jaw frame.
struct MovementResult {
  int position = 0;
  std::optional<long double> opening_mm;     // the largest y
  std::optional<long double> lateral_mm;     // toward the role's side; + the subject's right
  std::optional<long double> protrusion_mm;  // the largest z
  // Maximal opening only: the x of largest magnitude from the first sample to the widest
  // opening (a departure on the way), and x at the widest opening (where the jaw stays).
  std::optional<long double> deviation_mm, deflection_mm;
};

// Every experiment of the recording with a border-movement role, in order.
std::vector<MovementResult> measure_movements(const JawFrame& frame, const LabProtocol& protocol,
                                              int no_experiments);

// The indices of one clench, in per cent (impact in % x s), over its clench window.
struct ClenchResult {
  int position = 0;
  bool found = false;         // the window qualified
  int first = 0, last = -1;   // its samples
  bool standardized = false;  // every channel divided by its mean in the reference clench (%)
  std::optional<long double> poc_masseter, poc_temporalis, torque, activity;
  std::optional<long double> asymmetry_masseter, asymmetry_temporalis, impact;
};

// Every experiment of the recording with a clench role, in order; `windows` by position. The
// first clench_reference with a window, whose channel means are all above 0, standardises them.
std::vector<ClenchResult> measure_clenches(const std::vector<ClenchWindow>& windows,
                                           const LabProtocol& protocol, const RecordingForm& form,
                                           int no_experiments);
