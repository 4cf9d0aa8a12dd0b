// What the check page draws sample by sample, read through one read-only view of the samples:
// the pages format it and never read the store themselves. sample_view() fills it from the store
// after the analysis stages; the view holds until the store changes.
#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>

#include "protocol/protocol.h"
#include "protocol/records.h"

struct SampleView {
  int count = 0;                               // samples, indexes 0 .. count - 1
  const long long* time = nullptr;             // ms
  const long double* incisal_dist = nullptr;   // mm
  const std::uint8_t* cycle_status = nullptr;  // max_end | min_start
  // mm, relative to the calibration; nullptr where the reading did not keep the positions.
  const long double* incisal_x = nullptr;
  const long double* incisal_y = nullptr;
  const long double* incisal_z = nullptr;
  // uV, smoothed; nullptr for a channel the recording does not carry (every value +0).
  const long double* channel[kChannels] = {};
  bool channels_whole = true;  // the channel columns hold every sample
  // Each channel's burst stretches in sample order, values other than +0 only.
  const BurstStretch* bursts[kChannels] = {};
  std::size_t burst_count[kChannels] = {};

  // Channel c's smoothed value at sample i, +0 where the recording does not carry it.
  long double channel_value(int c, int i) const {
    assert(channels_whole);
    return channel[c] == nullptr ? 0 : channel[c][i];
  }
};

// The view of the store's samples.
SampleView sample_view();
