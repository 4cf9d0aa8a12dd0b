#include "recording/columns.h"

namespace {

// The samples a file can hold at most: every sample line holds at least 15 numbers and their
// separators.
std::size_t most_samples(std::size_t bytes) {
  constexpr std::size_t kShortestSampleLine = 30;
  const std::size_t bound = bytes / kShortestSampleLine + 1;
  return bound < static_cast<std::size_t>(kMaxEntries) ? bound : kMaxEntries;
}

}  // namespace

// Reserving takes address space, not memory, until samples are stored.
void reserve_columns(std::size_t bytes) {
  const std::size_t n = most_samples(bytes);
  Samples& s = samples;
  reserve_column(s.time, n);
  for (int c = 0; c < kChannels; ++c) reserve_column(s.channel[c], n);
  reserve_column(s.incisal_dist, n);
  reserve_column(s.incisal_dir, n);
  reserve_column(s.cycle_status, n);
  if (s.positions_kept) {
    reserve_column(s.incisal_x, n);
    reserve_column(s.incisal_y, n);
    reserve_column(s.incisal_z, n);
  }
}

void prefault_columns() {
  const std::size_t from = static_cast<std::size_t>(no_entries), to = from + kPrefaultSamples;
  Samples& s = samples;
  prefault(s.time, from, to);
  const std::size_t slot = channel_slot();
  for (const std::vector<long double>& channel : s.channel)
    if (!channel.empty()) prefault(channel, slot, slot + kPrefaultSamples);
  for (const std::vector<long double>* column :
       {&s.incisal_dist, &s.incisal_x, &s.incisal_y, &s.incisal_z})
    prefault(*column, from, to);  // capacity 0 where positions are not kept
  prefault(s.incisal_dir, from, to);
  prefault(s.cycle_status, from, to);
}
