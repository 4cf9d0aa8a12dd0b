// The store's sample columns as the reader fills them: room reserved for what the file can hold,
// the pages made present ahead of the samples, and each sample's values appended (or, where
// experiment_read is given, its channel values put in place of an earlier experiment's).
#pragma once

#include <cstddef>
#include <cstring>
#include <vector>

#include "recording/store.h"

// Room in every column for the most samples a file of `bytes` bytes can hold.
void reserve_columns(std::size_t bytes);

// Samples whose columns' pages are made present at once, before the first of them is stored.
constexpr int kPrefaultSamples = 1 << 14;
// The columns' pages for the next kPrefaultSamples samples from sample no_entries on.
void prefault_columns();

// Where the sample being stored goes in the channel columns (see experiment_channel).
inline std::size_t channel_slot() {
  const int t = no_tracks - 1;
  if (samples.channels_kept || t < kKeptExperiments) return static_cast<std::size_t>(no_entries);
  return static_cast<std::size_t>(tracks[kKeptExperiments].first_entry + no_entries -
                                  tracks[t].first_entry);
}

inline bool is_plus_zero(long double x) {
  static const long double kZero = 0;
  return std::memcmp(&x, &kZero, 10) == 0;
}

// Appends sample no_entries's time and channel values, and the zeros of the columns the stages
// after the reader fill in.
inline void append_time_and_channels(long long time, const long double (&channel)[kChannels]) {
  Samples& s = samples;
  if (no_entries % kPrefaultSamples == 0) prefault_columns();
  s.time.push_back(time);
  const std::size_t slot = channel_slot();
  for (int c = 0; c < kChannels; ++c) {
    // A channel's column stays empty until a value other than +0 comes.
    std::vector<long double>& column = s.channel[c];
    const long double v = channel[c];
    if (column.empty() && is_plus_zero(v)) continue;
    if (slot < column.size()) {
      column[slot] = v;  // in place of an earlier experiment's
    } else {
      column.resize(slot);  // the +0 values before it
      column.push_back(v);
    }
  }
  s.incisal_dir.push_back(0);
  s.cycle_status.push_back(0);
}

// Appends the incisal distance of the sample and, where positions are kept, the incisal point's
// position (x, y, z relative to the calibration).
inline void append_incisal(long double distance, const long double* position) {
  Samples& s = samples;
  s.incisal_dist.push_back(distance);
  if (s.positions_kept) {
    s.incisal_x.push_back(position[0]);
    s.incisal_y.push_back(position[1]);
    s.incisal_z.push_back(position[2]);
  }
}

// Sets sample i's incisal distance and position anew, as append_incisal appended them.
inline void set_incisal(int i, long double distance, const long double* position) {
  Samples& s = samples;
  s.incisal_dist[i] = distance;
  if (s.positions_kept) {
    s.incisal_x[i] = position[0];
    s.incisal_y[i] = position[1];
    s.incisal_z[i] = position[2];
  }
}
