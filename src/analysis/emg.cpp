#include "analysis/emg.h"

#include <cmath>
#include <optional>

#include "analysis/window_means.h"
#include "recording/protocol.h"
#include "recording/store.h"

namespace {

// Window by window: trailing RMS over the samples at most rms_time ms before each
// sample, in place. Runs from the last sample down, so that every window still holds raw values.
void smooth_window_by_window(int f, int l, long long rms_time) {
  for (int i = l; i >= f; --i) {
    long double sum[kChannels] = {0, 0, 0, 0};
    int n = 0;
    for (int j = i; j >= f && elapsed(entries[i].time, entries[j].time) <= rms_time; --j) {
      for (int c = 0; c < kChannels; ++c) {
        const long double x = entries[j].*kChannelValue[c];
        sum[c] += x * x;
      }
      ++n;
    }
    for (int c = 0; c < kChannels; ++c) {
      // Only a negative rms_time leaves a window empty; the smoothed value is then 0.
      entries[i].*kChannelValue[c] = n > 0 ? std::sqrt(sum[c] / n) : 0;
    }
  }
}

// Whether the experiment's time stamps never fall and stay far from the 64-bit limits, so that
// windows can be found by moving their ends and plain differences cannot overflow.
bool rising_times(int f, int l) {
  constexpr long long kLimit = 1LL << 61;
  for (int i = f; i <= l; ++i) {
    const long long t = entries[i].time;
    if (t < -kLimit || t > kLimit || (i > f && t < entries[i - 1].time)) return false;
  }
  return true;
}

// Trailing RMS over the samples at most rms_time ms before each sample, in place. Each square is
// formed once, into the burst integral of its sample (the burst integration overwrites every one of
// them), and summed from there in the same order; a channel whose raw values are all zero smooths
// to +0 everywhere, which is what its windows give.
void smooth(int f, int l, long long rms_time) {
  if (rms_time < 0 || rms_time > (1LL << 61) || !rising_times(f, l)) {
    smooth_window_by_window(f, l, rms_time);
    return;
  }
  bool active[kChannels] = {false, false, false, false};
  for (int i = f; i <= l; ++i) {
    for (int c = 0; c < kChannels; ++c) {
      const long double x = entries[i].*kChannelValue[c];
      entries[i].*kChannelBurst[c] = x * x;
      if (x != 0) active[c] = true;
    }
  }
  int channels[kChannels], used = 0;
  for (int c = 0; c < kChannels; ++c) {
    if (active[c]) {
      channels[used++] = c;
    } else {
      for (int i = f; i <= l; ++i) entries[i].*kChannelValue[c] = 0;
    }
  }
  // The first sample of the window of i; with rising time stamps it only moves down as i does.
  auto window_start = [&](int i, int low) {
    while (low > f && entries[i].time - entries[low - 1].time <= rms_time) --low;
    return low;
  };
  int low = l;
  for (int i = l; i >= f; --i) {
    low = window_start(i, low > i ? i : low);
    const int n = i - low + 1;
    if (used == 4) {
      // The four sums proceed side by side.
      long double s0 = 0, s1 = 0, s2 = 0, s3 = 0;
      for (int j = i; j >= low; --j) {
        s0 += entries[j].Channel1_burst;
        s1 += entries[j].Channel2_burst;
        s2 += entries[j].Channel3_burst;
        s3 += entries[j].Channel4_burst;
      }
      entries[i].Channel1 = std::sqrt(s0 / n);
      entries[i].Channel2 = std::sqrt(s1 / n);
      entries[i].Channel3 = std::sqrt(s2 / n);
      entries[i].Channel4 = std::sqrt(s3 / n);
    } else if (used == 2 && i > f) {
      // Two channels: the windows of i and i - 1 proceed side by side as well, each summed in
      // its own order.
      const int low2 = window_start(i - 1, low);
      const int n2 = i - 1 - low2 + 1;
      long double const Entry::*a = kChannelBurst[channels[0]];
      long double const Entry::*b = kChannelBurst[channels[1]];
      long double sa = 0, sb = 0, sa2 = 0, sb2 = 0;
      const int common = n < n2 ? n : n2;
      for (int k = 0; k < common; ++k) {
        sa += entries[i - k].*a;
        sb += entries[i - k].*b;
        sa2 += entries[i - 1 - k].*a;
        sb2 += entries[i - 1 - k].*b;
      }
      for (int k = common; k < n; ++k) sa += entries[i - k].*a, sb += entries[i - k].*b;
      for (int k = common; k < n2; ++k) sa2 += entries[i - 1 - k].*a, sb2 += entries[i - 1 - k].*b;
      entries[i].*kChannelValue[channels[0]] = std::sqrt(sa / n);
      entries[i].*kChannelValue[channels[1]] = std::sqrt(sb / n);
      entries[i - 1].*kChannelValue[channels[0]] = std::sqrt(sa2 / n2);
      entries[i - 1].*kChannelValue[channels[1]] = std::sqrt(sb2 / n2);
      low = low2;
      --i;
    } else {
      for (int k = 0; k < used; ++k) {
        long double const Entry::*square = kChannelBurst[channels[k]];
        long double sum = 0;
        for (int j = i; j >= low; --j) sum += entries[j].*square;
        entries[i].*kChannelValue[channels[k]] = std::sqrt(sum / n);
      }
    }
  }
}

// Mean of the smoothed values over the window that starts at s and spans `span` ms, summed from s
// forward, into mean[]; `last` is the window's last sample. Returns false when the window holds
// no sample (only a negative span).
bool window_mean(int s, int l, long long span, long double mean[kChannels], int& last) {
  long double sum[kChannels] = {0, 0, 0, 0};
  int n = 0;
  for (int k = s; k <= l && elapsed(entries[k].time, entries[s].time) <= span; ++k) {
    for (int c = 0; c < kChannels; ++c) sum[c] += entries[k].*kChannelValue[c];
    ++n;
  }
  if (n == 0) return false;
  for (int c = 0; c < kChannels; ++c) mean[c] = sum[c] / n;
  last = s + n - 1;
  return true;
}

// Window by window: the smallest mean over windows of nl_time ms that fit into the experiment
// and start at least rms_time ms after its first sample (where the smoothing window was still
// short), and the first window that has it.
void noise_level_window_by_window(Track& track, long long rms_time, long long nl_time) {
  const int f = track.first_entry, l = track.last_entry;
  for (int c = 0; c < kChannels; ++c) {
    track.*kChannelNl[c] = kNoNoiseLevel;
    track.nl_window[c] = {false, 0, 0};
  }
  for (int s = f; s <= l; ++s) {
    if (!(elapsed(entries[l].time, entries[s].time) >= nl_time && entries[s].time >= rms_time)) {
      continue;
    }
    long double mean[kChannels];
    int last = s;
    if (!window_mean(s, l, nl_time, mean, last)) continue;
    for (int c = 0; c < kChannels; ++c) {
      if (mean[c] < track.*kChannelNl[c]) {
        track.*kChannelNl[c] = mean[c];
        track.nl_window[c] = {true, s, last};
      }
    }
  }
}

// Window by window: the largest mean over windows of mvc_time ms that fit into the experiment,
// and the first window that has it.
void mvc_window_by_window(Track& track, long long mvc_time) {
  const int f = track.first_entry, l = track.last_entry;
  for (int c = 0; c < kChannels; ++c) {
    track.*kChannelMvc[c] = 0;
    track.mvc_window[c] = {false, 0, 0};
  }
  for (int s = f; s <= l; ++s) {
    if (!(elapsed(entries[l].time, entries[s].time) >= mvc_time)) continue;
    long double mean[kChannels];
    int last = s;
    if (!window_mean(s, l, mvc_time, mean, last)) continue;
    for (int c = 0; c < kChannels; ++c) {
      if (mean[c] > track.*kChannelMvc[c]) {
        track.*kChannelMvc[c] = mean[c];
        track.mvc_window[c] = {true, s, last};
      }
    }
  }
}

// The same values and windows, faster, where the bounded running sum applies to every channel of
// the experiment.
void noise_level(Track& track, long long rms_time, long long nl_time) {
  std::optional<WindowMean> level[kChannels];
  for (int c = 0; c < kChannels; ++c) {
    level[c] = smallest_window_mean(track.first_entry, track.last_entry, kChannelValue[c], nl_time,
                                    rms_time, kNoNoiseLevel);
    if (!level[c]) return noise_level_window_by_window(track, rms_time, nl_time);
  }
  for (int c = 0; c < kChannels; ++c) {
    track.*kChannelNl[c] = level[c]->value;
    track.nl_window[c] = level[c]->window;
  }
}

void mvc(Track& track, long long mvc_time) {
  std::optional<WindowMean> level[kChannels];
  for (int c = 0; c < kChannels; ++c) {
    level[c] =
        largest_window_mean(track.first_entry, track.last_entry, kChannelValue[c], mvc_time, 0);
    if (!level[c]) return mvc_window_by_window(track, mvc_time);
  }
  for (int c = 0; c < kChannels; ++c) {
    track.*kChannelMvc[c] = level[c]->value;
    track.mvc_window[c] = level[c]->window;
  }
}

// The running integral of every active stretch, over samples f+1 to l-1 (the first and
// the last sample have no predecessor or successor for the time step and stay 0).
void integrate_bursts(const Track& track, long double emg_threshold) {
  const int f = track.first_entry, l = track.last_entry;
  long double level[kChannels];
  for (int c = 0; c < kChannels; ++c) level[c] = emg_threshold * *kRunMvc[c] + track.*kChannelNl[c];
  for (int c = 0; c < kChannels; ++c) entries[f].*kChannelBurst[c] = 0;
  for (int i = f + 1; i <= l - 1; ++i) {
    const long double step =
        static_cast<long double>(elapsed(entries[i + 1].time, entries[i - 1].time));
    for (int c = 0; c < kChannels; ++c) {
      const long double x = entries[i].*kChannelValue[c];
      entries[i].*kChannelBurst[c] =
          x >= level[c] ? entries[i - 1].*kChannelBurst[c] + x * step / 2 : 0;
    }
  }
  for (int c = 0; c < kChannels; ++c) entries[l].*kChannelBurst[c] = 0;
}

// Copies each burst's total (the integral at its last sample) back over the burst.
void spread_bursts(const Track& track) {
  const int f = track.first_entry, l = track.last_entry;
  for (int u = l; u >= f + 1; --u) {
    for (int c = 0; c < kChannels; ++c) {
      long double& before = entries[u - 1].*kChannelBurst[c];
      const long double here = entries[u].*kChannelBurst[c];
      if (before > 0 && here > 0) before = here;
    }
  }
}

}  // namespace

void preprocessing_emg(long long rms_time, long long mvc_time, long long nl_time,
                       long double emg_threshold) {
  for (int t = 0; t < no_tracks; ++t) smooth(tracks[t].first_entry, tracks[t].last_entry, rms_time);

  for (int t = 0; t < no_tracks; ++t) noise_level(tracks[t], rms_time, nl_time);

  for (int c = 0; c < kChannels; ++c) *kRunNl[c] = kNoNoiseLevel;
  for (int k = kFirstChewingTrial; k < no_tracks; ++k) {
    for (int c = 0; c < kChannels; ++c) {
      if (tracks[k].*kChannelNl[c] < *kRunNl[c]) *kRunNl[c] = tracks[k].*kChannelNl[c];
    }
  }

  for (int t = 0; t < no_tracks; ++t) mvc(tracks[t], mvc_time);

  // Both MVC experiments always, whatever no_tracks: a missing experiment holds zeros. The
  // run-wide MVC is raised from the store's initial 0 and never reset.
  for (int k : kMvcExperiments) {
    for (int c = 0; c < kChannels; ++c) {
      if (tracks[k].*kChannelMvc[c] > *kRunMvc[c]) *kRunMvc[c] = tracks[k].*kChannelMvc[c];
    }
  }

  for (int t = 0; t < no_tracks; ++t) integrate_bursts(tracks[t], emg_threshold);

  for (int t = 0; t < no_tracks; ++t) spread_bursts(tracks[t]);
}
