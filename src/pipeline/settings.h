// The settings of one evaluation: the window lengths and thresholds every stage and every output
// uses, with the evaluator's defaults.
#pragma once

struct Settings {
  long long rms_time = 50;                        // ms, trailing RMS window
  long long mvc_time = 500;                       // ms, MVC window
  long long nl_time = 100;                        // ms, noise-level window
  long double emg_threshold = (long double)0.03;  // fraction of MVC: the double 0.03 widened
  long double dist_threshold = 3;                 // mm
  int track = 13;                                 // accepted and shown in the help, used nowhere
};
