// The data checks' findings and their rules, as every output reads them; the checks themselves
// are in checks.h.
#pragma once

#include <string>

enum class Severity {
  warning,  // look at the recording before using its numbers
  error,    // the numbers are not meaningful
};
const char* severity_name(Severity severity);

enum class Check {
  no_calibration,
  calibration_degenerate,
  jaw_frame_from_plane,
  calibration_after_samples,
  mixed_forms,
  missing_experiments,
  duplicate_experiment,
  last_trial_short,
  samples_before_first_experiment,
  skipped_lines,
  no_sampling_rate,
  sampling_rate,
  experiment_rate,
  rate_change,
  time_order,
  time_gap,
  non_finite,
  non_finite_result,
  emg_flat,
  emg_clipping,
  emg_ceiling,
  emg_spike,
  mvc_zero,
  mvc_below_trial,
  no_confirmed_cycle,
  tracking,
  no_kinematics,
  no_emg,
  position_units,
  protocol_role,
};
constexpr int kChecks = static_cast<int>(Check::protocol_role) + 1;

// A check's name, severity and limit; the table of them is in checks.cpp.
struct CheckRule {
  Check check;
  const char* name;
  Severity severity;
  long double limit;
  const char* unit;  // of the measured value and the limit
};
const CheckRule& rule_of(Check check);

struct Finding {
  Check check;
  int experiment = 0;   // 1 to 18; 0 where the finding concerns the whole recording
  std::string channel;  // EMG channel (mr, ml, tr, tl), point, point pair or field; may be empty
  long double value = 0;
  long double limit = 0;
  std::string message;  // one line
};
