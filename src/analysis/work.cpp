#include "analysis/work.h"

#include "recording/store.h"

namespace {

// A closing phase counts when it closes the jaw by more than this share of Incisal_max: the
// double nearest to 0.1, widened.
constexpr long double kClosingShare = static_cast<long double>(0.1);

// Sums, per channel, the largest burst total inside every closing phase of the experiment that
// closes by more than a tenth of the run-wide Incisal_max. A phase runs from a max_end sample to
// the next min_start sample; the integrals of those two samples are not taken.
void sum_work(Track& track) {
  const int f = track.first_entry, l = track.last_entry;
  long double work[kChannels] = {0, 0, 0, 0};
  long double phase_max[kChannels] = {0, 0, 0, 0};
  bool open = false;
  int opened = 0;          // the sample the phase opened at
  long double d_open = 0;  // incisal distance there, mm
  for (int i = f; i <= l; ++i) {
    if (open && (samples.cycle_status[i] & min_start)) {
      if (d_open - samples.incisal_dist[i] > kClosingShare * Incisal_max) {
        for (int c = 0; c < kChannels; ++c) {
          phase_max[c] = raise_by_bursts(c, opened + 1, i - 1, phase_max[c]);
          work[c] = work[c] + phase_max[c];
        }
      }
      open = false;
    }
    if (!open && (samples.cycle_status[i] & max_end)) {
      open = true;
      opened = i;
      d_open = samples.incisal_dist[i];
      for (int c = 0; c < kChannels; ++c) phase_max[c] = 0;
    }
  }
  for (int c = 0; c < kChannels; ++c) track.*kChannelWork[c] = work[c];
}

}  // namespace

void preprocessing_work() {
  for (int t = 0; t < no_tracks; ++t) sum_work(tracks[t]);
}
