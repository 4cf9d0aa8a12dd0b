#include "study/cycle_walk.h"

#include "analysis/cycles.h"
#include "recording/store.h"

namespace {

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
  for_each_chewing_cycle(tracks[position], dist_threshold,
                         [&](int open, int close, const long double* burst_max) {
                           ChewingCycle cycle;
                           cycle.start = open;
                           cycle.end = close;
                           cycle.incisal_max = entries[open].Incisal_dist;
                           for (int i = open + 1; i <= close; ++i)
                             if (entries[i].Incisal_dist > cycle.incisal_max)
                               cycle.incisal_max = entries[i].Incisal_dist;
                           for (int c = 1; c <= 4; ++c) cycle.burst_max[c] = burst_max[c];
                           cycle.confirmed = confirmed_by_masseters(burst_max);
                           add_speeds(cycle);
                           cycles.push_back(cycle);
                         });
  return cycles;
}
