#include "reference/emg_reference.h"

#include <cmath>
#include <vector>

#include "protocol/protocol.h"
#include "recording/store.h"
#include "reference/snapshot.h"

namespace {

__int128 ms(int later, int earlier) { return elapsed(samples.time[later], samples.time[earlier]); }

// The trailing root mean square of every sample, from the last sample down so that each window
// still holds raw values.
void smooth(int f, int l, long long rms_time, int c) {
  std::vector<long double>& x = samples.channel[c];
  for (int i = l; i >= f; --i) {
    long double sum = 0;
    int n = 0;
    for (int j = i; j >= f && ms(i, j) <= rms_time; --j) {
      sum += x[j] * x[j];
      ++n;
    }
    x[i] = n > 0 ? std::sqrt(sum / n) : 0;
  }
}

// The mean of the window that starts at s and spans `span` ms, summed from s forward; `last` is
// its last sample. False for an empty window.
bool window_mean(int s, int l, long long span, int c, long double& mean, int& last) {
  long double sum = 0;
  int n = 0;
  for (int k = s; k <= l && ms(k, s) <= span; ++k) {
    sum += samples.channel[c][k];
    ++n;
  }
  if (n == 0) return false;
  mean = sum / n;
  last = s + n - 1;
  return true;
}

void noise_level(Track& track, long long rms_time, long long nl_time, int c) {
  const int f = track.first_entry, l = track.last_entry;
  track.*kChannelNl[c] = kNoNoiseLevel;
  track.nl_window[c] = {false, 0, 0};
  for (int s = f; s <= l; ++s) {
    if (!(ms(l, s) >= nl_time && samples.time[s] >= rms_time)) continue;
    long double mean;
    int last;
    if (window_mean(s, l, nl_time, c, mean, last) && mean < track.*kChannelNl[c]) {
      track.*kChannelNl[c] = mean;
      track.nl_window[c] = {true, s, last};
    }
  }
}

void mvc(Track& track, long long mvc_time, int c) {
  const int f = track.first_entry, l = track.last_entry;
  track.*kChannelMvc[c] = 0;
  track.mvc_window[c] = {false, 0, 0};
  for (int s = f; s <= l; ++s) {
    if (!(ms(l, s) >= mvc_time)) continue;
    long double mean;
    int last;
    if (window_mean(s, l, mvc_time, c, mean, last) && mean > track.*kChannelMvc[c]) {
      track.*kChannelMvc[c] = mean;
      track.mvc_window[c] = {true, s, last};
    }
  }
}

void integrate_bursts(const Track& track, long double emg_threshold, int c,
                      std::vector<long double>& b) {
  const int f = track.first_entry, l = track.last_entry;
  const long double level = emg_threshold * *kRunMvc[c] + track.*kChannelNl[c];
  b[f] = 0;
  for (int i = f + 1; i <= l - 1; ++i) {
    const long double x = samples.channel[c][i];
    if (x >= level)
      b[i] = b[i - 1] + x * static_cast<long double>(ms(i + 1, i - 1)) / 2;
    else
      b[i] = 0;
  }
  b[l] = 0;
  for (int u = l; u >= f + 1; --u)
    if (b[u - 1] > 0 && b[u] > 0) b[u - 1] = b[u];
}

}  // namespace

void preprocessing_emg_reference(long long rms_time, long long mvc_time, long long nl_time,
                                 long double emg_threshold) {
  // Every channel in full, a channel the recording does not carry as zeros.
  for (int c = 0; c < kChannels; ++c) {
    samples.channel[c].resize(static_cast<std::size_t>(no_entries));
  }
  for (int c = 0; c < kChannels; ++c) {
    for (int t = 0; t < no_tracks; ++t)
      smooth(tracks[t].first_entry, tracks[t].last_entry, rms_time, c);
    for (int t = 0; t < no_tracks; ++t) noise_level(tracks[t], rms_time, nl_time, c);
    *kRunNl[c] = kNoNoiseLevel;
    for (int k = kFirstChewingTrial; k < no_tracks; ++k)
      if (tracks[k].*kChannelNl[c] < *kRunNl[c]) *kRunNl[c] = tracks[k].*kChannelNl[c];
    for (int t = 0; t < no_tracks; ++t) mvc(tracks[t], mvc_time, c);
    for (int k : kMvcExperiments)
      if (tracks[k].*kChannelMvc[c] > *kRunMvc[c]) *kRunMvc[c] = tracks[k].*kChannelMvc[c];
  }
  for (int c = 0; c < kChannels; ++c) {
    std::vector<long double> burst(static_cast<std::size_t>(no_entries), 0);
    for (int t = 0; t < no_tracks; ++t) integrate_bursts(tracks[t], emg_threshold, c, burst);
    samples.bursts[c] = burst_stretches(burst);
  }
}
