#include "study/cycle_walk.h"

#include "recording/store.h"

namespace {

constexpr long double kMvcFactor = 10;  // a confirming burst exceeds 10 x MVC (uV*ms)

// Speeds between neighbouring samples, from the time stamps: (distance change x 1000) / ms.
void add_speeds(ChewingCycle& cycle) {
  for (int i = cycle.start + 1; i <= cycle.end; ++i) {
    const Entry& before = entries[i - 1];
    const Entry& e = entries[i];
    const long double ms = static_cast<long double>(e.time - before.time);
    const long double rising = ((e.Incisal_dist - before.Incisal_dist) * 1000) / ms;
    const long double falling = ((before.Incisal_dist - e.Incisal_dist) * 1000) / ms;
    if (rising > cycle.opening_speed) cycle.opening_speed = rising;
    if (falling > cycle.closing_speed) cycle.closing_speed = falling;
  }
}

}  // namespace

std::vector<ChewingCycle> walk_chewing_cycles(int position, long double dist_threshold) {
  std::vector<ChewingCycle> cycles;
  const Track& track = tracks[position];
  ChewingCycle cycle;
  bool in_cycle = false;
  for (int i = track.first_entry; i <= track.last_entry; ++i) {
    const Entry& e = entries[i];
    if (!in_cycle) {
      // The opening sample's integrals stay out of the cycle's maxima.
      if ((e.cycle_status & max_end) && e.Incisal_dist >= dist_threshold) {
        cycle = ChewingCycle{};
        cycle.start = i;
        cycle.incisal_max = e.Incisal_dist;
        in_cycle = true;
      }
      continue;
    }
    const long double burst[5] = {0, e.Channel1_burst, e.Channel2_burst, e.Channel3_burst,
                                  e.Channel4_burst};
    for (int c = 1; c <= 4; ++c)
      if (burst[c] > cycle.burst_max[c]) cycle.burst_max[c] = burst[c];
    if (e.Incisal_dist > cycle.incisal_max) cycle.incisal_max = e.Incisal_dist;
    // The closing sample's integrals count, before the test.
    if ((e.cycle_status & min_start) && e.Incisal_dist < dist_threshold) {
      cycle.end = i;
      cycle.confirmed = cycle.burst_max[1] > kMvcFactor * Channel1_mvc ||
                        cycle.burst_max[2] > kMvcFactor * Channel2_mvc;
      add_speeds(cycle);
      cycles.push_back(cycle);
      in_cycle = false;
    }
  }
  return cycles;
}
