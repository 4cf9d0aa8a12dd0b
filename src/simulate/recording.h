// The simulated recording: sample counts, plans, and the data file and ground truth writers.
//
// The data file holds the five header lines, one calibration line and the 18 experiments, each
// opened by a sample of time 0. Sample lines carry the time stamp (integer ms), the positions
// of 5 or 3 points (mm, 2 decimals), three aux values and 2 or 4 raw EMG values (uV,
// 1 decimal; "0" each in the jaw-only form). The ground truth lists the chewing cycles chew_eval
// must confirm in experiments 13 to 18, every stroke of them as written, the extent of the border
// movements of experiments 3 to 8 and the EMG levels of the clenches of experiments 1 and 2.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "options.h"
#include "protocol.h"

struct Recording {
  std::vector<long long> samples;   // per experiment
  std::vector<long long> duration;  // ms, per experiment: the time stamp of its last sample
  Subject subject;
  std::vector<Script> scripts;
  int rate = 0;              // Hz
  int channels = kChannels;  // EMG channels on a sample line
  bool emg = true;           // the EMG is written (else every value is 0 and no cycle is confirmed)
};

// The incisal point's coordinates as written (1/100 mm) in the experiments the ground truth
// reads: the maximal openings and the chewing trials; the other experiments stay empty.
struct WrittenIncisal {
  std::vector<std::vector<std::array<std::int32_t, 3>>> experiments;
  // And of the clenches (experiments 1 and 2), each channel's written raw EMG over the plateau:
  // the sum of its squares (uV^2) and the samples, whose RMS the truth gives.
  double clench_squares[2][kChannels] = {};
  long long clench_samples[2] = {};
};

// Samples per experiment for the options: proportional to the protocol's durations, exactly
// `samples` in all when given, else duration x scale x rate. Empty, with `error` set, when the
// recording would exceed the evaluator's capacity.
std::vector<long long> sample_counts(const SimOptions& options, std::string& error);

Recording plan_recording(const SimOptions& options, const std::vector<long long>& samples);

// Both return false when a write failed (errno tells why). `incisal`, when given, receives the
// incisal coordinates write_truth needs.
bool write_recording(std::FILE* out, const SimOptions& options, const Recording& recording,
                     WrittenIncisal* incisal = nullptr);
bool write_truth(std::FILE* out, const Recording& recording, const WrittenIncisal& incisal);
