// The records the analysis stages find, which the store keeps and every output reads: cycle-status
// bits, burst stretches, the windows of the MVC and noise levels, chewing cycles. Plain values,
// in the units the protocol gives (samples as indexes, uV*ms).
#pragma once

#include <cstdint>

#include "protocol/protocol.h"

// Cycle-status bits of a sample.
constexpr std::uint8_t max_end = 0x02;    // last sample of a local maximum of Incisal_dist
constexpr std::uint8_t min_start = 0x04;  // first sample of a local minimum of Incisal_dist

// Samples first..last (both inclusive) whose burst integral is `value`.
struct BurstStretch {
  int first, last;
  long double value;
};

// The samples first..last (both inclusive) of the window an experiment's MVC or noise level was
// taken from: the first window with the extreme mean. `found` is false where no window beat the
// starting value (MVC 0, noise level 1000).
struct EmgWindow {
  bool found;
  int first, last;
};

// A chewing cycle as cycle recognition walks it: it opens at a sample marked max_end whose
// incisal distance is at or above the distance threshold and closes at the next sample marked
// min_start below it.
struct ChewingCycle {
  int start;                         // the opening sample
  int end;                           // the closing sample
  long double burst_max[kChannels];  // uV*ms, each channel's largest burst over start+1..end
  bool confirmed;                    // a masseter maximum above 10 x its run-wide MVC
};
