#include "analysis/cycles.h"

#include <cstdint>

#include "recording/store.h"

namespace {

constexpr std::uint8_t kRose = 1, kFell = 2;  // Incisal_dir
constexpr int kFirstChewingTrial = 12;        // cycles are confirmed from this position on
constexpr long double kMvcFactor = 10;        // a confirming burst exceeds 10 x MVC (uV*ms)

// Turning points and upward threshold crossings of one experiment.
void mark_turning_points(Track& track, long double thr) {
  const int f = track.first_entry, l = track.last_entry;
  track.no_cycles = 0;
  for (int i = f; i <= l - 1; ++i) {
    Entry& e = entries[i];
    const Entry& next = entries[i + 1];
    e.cycle_status = 0;
    if (e.Incisal_dist <= thr && next.Incisal_dist > thr) ++track.no_cycles;
    if (e.Incisal_dir == kFell && next.Incisal_dir == kRose) {
      // i is the last sample of a minimum; its first one ends the run of exactly equal values.
      int k = i;
      while (k > f && entries[k - 1].Incisal_dist == e.Incisal_dist) --k;
      entries[k].cycle_status |= min_start;
    }
    if (e.Incisal_dir == kRose && next.Incisal_dir == kFell) e.cycle_status |= max_end;
  }
  entries[l].cycle_status = 0;
}

// Cycles from a maximum at or above the threshold to the next minimum below it, confirmed when
// either masseter shows a burst integral above 10 x its run-wide MVC anywhere in the cycle
// (the closing sample included, the opening sample not).
void count_chewing_cycles(Track& track, long double thr) {
  const int f = track.first_entry, l = track.last_entry;
  track.no_chewing_cycles = 0;
  bool in_cycle = false;
  long double m1 = 0, m2 = 0;  // largest burst integral of MR and ML in the cycle, uV*ms
  for (int i = f; i <= l; ++i) {
    const Entry& e = entries[i];
    if (!in_cycle) {
      if ((e.cycle_status & max_end) && e.Incisal_dist >= thr) {
        m1 = m2 = 0;
        in_cycle = true;
      }
      continue;
    }
    if (e.Channel1_burst > m1) m1 = e.Channel1_burst;
    if (e.Channel2_burst > m2) m2 = e.Channel2_burst;
    if ((e.cycle_status & min_start) && e.Incisal_dist < thr) {
      if (m1 > kMvcFactor * Channel1_mvc || m2 > kMvcFactor * Channel2_mvc) {
        ++track.no_chewing_cycles;
      }
      in_cycle = false;
    }
  }
}

}  // namespace

void compute_cycles(long double dist_threshold) {
  for (int t = 0; t < no_tracks; ++t) mark_turning_points(tracks[t], dist_threshold);
  for (int t = kFirstChewingTrial; t < no_tracks; ++t) {
    count_chewing_cycles(tracks[t], dist_threshold);
  }
}
