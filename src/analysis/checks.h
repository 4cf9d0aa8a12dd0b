// Data checks: what in a recording makes its numbers meaningless or worth a second look.
//
// Two passes. RawFactsGatherer sees each experiment's raw samples before the EMG conditioning
// overwrites them with their RMS: it gathers what only the raw samples and the reader know.
// check_recording() combines those facts with the evaluation after the stages and returns the
// findings. Neither changes the store, so no report byte depends on them.
#pragma once

struct LabProtocol;  // protocol/lab_protocol.h

#include <cstdint>
#include <string>
#include <vector>

#include "analysis/findings.h"
#include "recording/read_data.h"
#include "recording/store.h"

struct Evaluation;

// Position fields (three per point, in file order; the first 3 x 3 are carried by every form),
// then EMG channels.
constexpr int kCheckedFields = kPositionFields + kChannels;

// An experiment's steps are split into this many runs of equal length to see its rate change.
constexpr int kRateParts = 4;

// What the raw samples of one experiment show.
struct RawExperiment {
  int non_finite[kCheckedFields] = {};        // NaN or infinite values per field
  int first_non_finite[kCheckedFields] = {};  // sample index of the first
  bool emg_flat[kChannels] = {};              // every raw value equal
  long double emg_level[kChannels] = {};      // that value, when flat
  long double pair_min[kPointPairs] = {}, pair_max[kPointPairs] = {};  // mm; 0/0 if no finite
  int steps_not_rising = 0;      // neighbouring time stamps that fall or repeat
  int first_not_rising = 0;      // sample index of the first sample that does
  long double longest_step = 0;  // ms, between neighbouring samples
  int longest_step_at = 0;       // sample index after that step
  long double mean_step = 0;     // ms, (last time - first time) / (samples - 1); 0 if none
  long double span_ms = 0;       // last time stamp - first
  // The steps the time stamps' rate is measured on: those above 0 and at most kRateStepFactor
  // times the largest median step of the parts, so that gaps and repeats stay out; in all and
  // per part (kRateParts runs of equal length of the experiment's steps, in order).
  long double rate_ms = 0;  // ms, their sum
  int rate_steps = 0;
  long double part_ms[kRateParts] = {};
  int part_steps[kRateParts] = {};
  // Raw EMG of the experiments whose EMG enters the results (the clenching experiments and the
  // chewing trials); zeros elsewhere.
  long double emg_largest[kChannels] = {};  // uV, the largest finite |value|
  int emg_largest_at[kChannels] = {};       // its first sample
  long double emg_spread[kChannels] = {};   // uV, 95th percentile of |value - median|
  long double spike_size[kChannels] = {};   // the largest |value - median|, in spreads
  int spikes[kChannels] = {};               // samples beyond the spike limit, in spreads
  int first_spike[kChannels] = {};          // sample index of the first
  // Two experiments with the same digest hold the same samples: it mixes their count, first
  // time stamp and sum of time stamps, and 64 evenly spaced values of each channel.
  std::uint64_t digest = 0;
  bool varies = false;  // some EMG value or incisal distance changes within it
};

struct RawFacts {
  ReadResult read;
  RecordingForm form;
  int samples_before_first_experiment = 0;
  long double largest_emg[kChannels] = {};  // uV, the largest finite |raw value| per channel
  int clipping_run[kChannels] = {};         // longest run of samples at that value
  int clipping_at[kChannels] = {};          // the run's first sample
  RawExperiment experiments[kMaxTracks];
};

// The form of the recording in the store, from its samples; a recording without samples has
// the form the reader would have read them in.
RecordingForm recording_form();

// Gathers the raw facts experiment by experiment, as the reader finishes each (or after the
// reading, in the same order): experiment(k) must see experiment k's raw channel values where
// experiment_channel() points, before the EMG conditioning smooths them. The reader must have been
// asked for SampleDetail::study. finish() after the reading, before any stage but the EMG
// conditioning has run.
class RawFactsGatherer {
 public:
  void experiment(int k);
  RawFacts finish(const ReadResult& read);

  // The longest run of samples at one experiment's largest finite magnitude of a channel.
  struct Clipping {
    long double largest = 0;  // uV
    int run = 0, at = 0;      // samples, and the run's first sample
  };

 private:
  RawFacts raw_;
  Clipping clipping_[kMaxTracks][kChannels] = {};
  // Working room, kept from one experiment to the next.
  std::vector<long double> scratch_;
  std::vector<long long> steps_, sorted_steps_;
};

// Requires the analysis stages to have run; `evaluation` is the recording's evaluation.
std::vector<Finding> check_recording(const RawFacts& raw, const Evaluation& evaluation);

// A protocol_role finding for each experiment of the recording whose role in the lab's protocol
// contradicts the evaluator's fixed position, put in its place among `findings`.
void add_protocol_findings(const LabProtocol& protocol, int no_experiments,
                           std::vector<Finding>& findings);
