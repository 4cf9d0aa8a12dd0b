// A copy of the whole recording store, compared bit for bit with another.
#pragma once

#include <string>
#include <vector>

#include "recording/store.h"

struct StoreSnapshot {
  std::vector<Entry> entries;
  std::vector<Track> tracks;
  Calibration calibration{};
  std::vector<std::string> headers;
  std::vector<long double> run_wide;
};

// The store as it is now: entries[0..no_entries), all 18 tracks, and everything else.
StoreSnapshot take_snapshot();

// Empty when both hold the same bits in every field; otherwise names the first difference.
std::string first_difference(const StoreSnapshot& a, const StoreSnapshot& b);
