// Extreme windowed means of one smoothed EMG channel over one experiment, without summing every
// window afresh.
//
// A window starts at sample s, spans `span` ms (samples s, s+1, ... while t[n] - t[s] <= span)
// and its mean is its values summed from s forward, divided by their count. A running sum with
// a rigorous bound on its rounding error rules out every window whose mean cannot reach the
// extreme; the windows left are summed exactly that way. The result is the value a scan of every
// window with strict comparisons gives, bit for bit.
//
// A window holding a value that is not a number has a mean that is not a number, which no strict
// comparison picks; one holding +infinity (and no such value) has the mean +infinity. Both are
// decided from the values' bits, without arithmetic on them. A window inside a run of one value
// has the mean of that many copies of it, summed once per value and count.
//
// Reads samples.time[f..l] (ms) and the channel's values channel[f..l] (uV; all +0 where channel
// is nullptr). Handles experiments whose time stamps do not fall and whose channel values are not
// negative (finite, +infinity or not a number), with span >= 0; returns std::nullopt for any
// other, which the caller then scans window by window.
#pragma once

#include <optional>
#include <vector>

#include "recording/store.h"

// An extreme windowed mean and the first window that has it (not found: no window beat the
// initial value, which is then the value).
struct WindowMean {
  long double value;
  EmgWindow window;
};

// One channel's values over one experiment, checked and converted once for every extreme taken
// over them (the values must not change in between).
struct ChannelValues {
  int f = 0, l = -1;
  const long double* channel = nullptr;
  bool well_formed = false;  // time stamps that do not fall, values that are not negative
  bool all_zero = false;     // every value +0 or -0
  bool as_doubles = false;   // every value held by a double with full precision: doubles[i - f]
  std::vector<double> doubles;
  double total = 0;  // the doubles summed in order
};
void prepare_channel(ChannelValues& values, int f, int l, const long double* channel);

// The largest mean above `initial` over the windows that fit into the experiment
// (t[l] - t[s] >= span), or `initial` when none is larger.
std::optional<WindowMean> largest_window_mean(const ChannelValues& values, long long span,
                                              long double initial);

// The smallest mean below `initial` over the windows that fit into the experiment and start no
// earlier than `earliest` ms (t[s] >= earliest), or `initial` when none is smaller.
std::optional<WindowMean> smallest_window_mean(const ChannelValues& values, long long span,
                                               long long earliest, long double initial);
