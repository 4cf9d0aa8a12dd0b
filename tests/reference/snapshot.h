// A copy of the whole recording store, compared bit for bit with another.
#pragma once

#include <string>
#include <vector>

#include "recording/store.h"

struct StoreSnapshot {
  int no_entries = 0;
  Samples samples;
  std::vector<Track> tracks;
  Calibration calibration{};
  SampleForms sample_forms{};
  std::vector<RawPositions> raw_positions;
  std::vector<long double> distance_max;
  std::vector<std::string> headers;
  std::vector<long double> run_wide;
};

// The store as it is now: the sample columns, all 18 tracks, and everything else.
StoreSnapshot take_snapshot();

// Empty when both hold the same bits in every field; otherwise names the first difference. A
// channel's empty columns equal columns of +0.
std::string first_difference(const StoreSnapshot& a, const StoreSnapshot& b);

// Channel c's burst integrals as a column of n values (index = sample), and the stretches that a
// column of them makes: what fixtures and the reference write, and comparisons read.
std::vector<long double> burst_column(const std::vector<BurstStretch>& stretches, int n);
std::vector<BurstStretch> burst_stretches(const std::vector<long double>& column);
