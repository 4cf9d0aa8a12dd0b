#include "analysis/sample_view.h"

#include "recording/store.h"

SampleView sample_view() {
  SampleView view;
  view.count = no_entries;
  view.time = samples.time.data();
  view.incisal_dist = samples.incisal_dist.data();
  view.cycle_status = samples.cycle_status.data();
  if (samples.positions_kept) {
    view.incisal_x = samples.incisal_x.data();
    view.incisal_y = samples.incisal_y.data();
    view.incisal_z = samples.incisal_z.data();
  }
  view.channels_whole = samples.channels_kept;
  for (int c = 0; c < kChannels; ++c) {
    if (!samples.channel[c].empty()) view.channel[c] = samples.channel[c].data();
    view.bursts[c] = samples.bursts[c].data();
    view.burst_count[c] = samples.bursts[c].size();
  }
  return view;
}
