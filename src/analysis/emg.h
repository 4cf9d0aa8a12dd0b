// EMG conditioning: trailing RMS smoothing, MVC and noise levels, burst integrals.
//
// Reads  samples.time (ms), samples.channel (raw uV), tracks[].first_entry/last_entry.
// Writes samples.channel (RMS, uV, in place), samples.bursts (uV*ms; none for a channel whose
//        column is empty),
//        tracks[].Channel1_mvc..4 and Channel1_nl..4 (uV), the run-wide Channel1_mvc..4 (from
//        positions 0 and 1) and Channel1_nl..4 (from positions 12 on), in uV, and for every
//        experiment and channel tracks[].mvc_window and nl_window: where its MVC and noise level
//        came from.
// Window lengths are measured on the time stamps. A negative length leaves its windows empty:
// a negative rms_time smooths every value to 0, a negative nl_time or mvc_time leaves every
// noise level at 1000 and every MVC at 0.
#pragma once

#include "protocol/protocol.h"
#include "recording/store.h"

// The same, experiment by experiment, as each one's raw values are ready (the reader can hand
// them over as it finishes each experiment, so that only a few are ever held). An experiment's
// burst integrals need the run-wide MVC, so those of the experiments before the last MVC
// experiment wait for it, or for finish().
class EmgConditioning {
 public:
  EmgConditioning(long long rms_time /* ms */, long long mvc_time /* ms */,
                  long long nl_time /* ms */, long double emg_threshold /* fraction */);
  // Experiment t, whose values experiment_channel() points to; experiments come in order from 0.
  void experiment(int t);
  // After the last experiment: the run-wide noise levels and the bursts still waiting.
  void finish();

 private:
  void integrate_through(int t);
  long long rms_time_, mvc_time_, nl_time_;
  long double emg_threshold_;
  bool run_mvc_known_ = false;
  int integrated_ = 0;  // the experiments whose bursts are integrated
};
// The run-wide MVC is known once the last MVC experiment is conditioned; the channel columns keep
// the values of the experiments before it.
constexpr int kLastMvcExperiment = kMvcExperiments[1];
static_assert(kMvcExperiments[0] < kLastMvcExperiment && kLastMvcExperiment == kKeptExperiments,
              "the MVC experiments before the last must keep their values");

// The EMG threshold's share of a channel's run-wide MVC, uV: what the summary shows.
inline long double threshold_level(long double emg_threshold /* fraction */,
                                   long double run_mvc /* uV */) {
  return emg_threshold * run_mvc;
}
// The level an experiment's smoothed value must reach to be active, uV: the threshold level,
// then the experiment's noise level added (bursts and evaluation alike, so they agree bit for
// bit).
inline long double activity_level(long double emg_threshold /* fraction */,
                                  long double run_mvc /* uV */, long double noise_level /* uV */) {
  return threshold_level(emg_threshold, run_mvc) + noise_level;
}

void preprocessing_emg(long long rms_time /* ms */, long long mvc_time /* ms */,
                       long long nl_time /* ms */, long double emg_threshold /* fraction */);
