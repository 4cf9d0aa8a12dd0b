#include "analysis/clinical.h"

#include <cmath>

#include "recording/store.h"

namespace {

constexpr int kMR = 0, kML = 1, kTR = 2, kTL = 3;

// 100 x part / whole, none where the whole is not above 0.
std::optional<long double> percent(long double part, long double whole) {
  if (!(whole > 0)) return std::nullopt;
  return (part / whole) * 100;
}

void measure(MovementResult& m, Role role, const JawFrame& frame, const Track& track) {
  int widest = track.first_entry;
  long double lateral = 0;  // the x toward the role's side, or of largest magnitude
  for (int i = track.first_entry; i <= track.last_entry; ++i) {
    const Vector3 p = incisal_from_rest(frame, i);
    if (i == track.first_entry || p.y > *m.opening_mm) m.opening_mm = p.y, widest = i;
    if (i == track.first_entry || p.z > *m.protrusion_mm) m.protrusion_mm = p.z;
    const bool further = role == Role::laterotrusion_right  ? p.x > lateral
                         : role == Role::laterotrusion_left ? p.x < lateral
                                                            : std::fabs(p.x) > std::fabs(lateral);
    if (i == track.first_entry || further) lateral = p.x;
  }
  m.lateral_mm = lateral;
  if (role != Role::max_opening) return;
  long double departure = 0;
  for (int i = track.first_entry; i <= widest; ++i) {
    const long double x = incisal_from_rest(frame, i).x;
    if (i == track.first_entry || std::fabs(x) > std::fabs(departure)) departure = x;
  }
  m.deviation_mm = departure;
  m.deflection_mm = incisal_from_rest(frame, widest).x;
}

// The window's values of channel c, standardised where `reference` gives the channel's mean.
std::vector<long double> values_of(const ClenchWindow& w, int c, const long double* reference) {
  std::vector<long double> v = w.value[c];
  if (reference != nullptr)
    for (long double& x : v) x = (x / reference[c]) * 100;
  return v;
}

long double mean_of(const std::vector<long double>& v) {
  long double sum = 0;
  for (long double x : v) sum += x;
  return sum / static_cast<long double>(v.size());
}

// 100 x (1 - sum|a - b| / sum(a + b)): the percentage overlapping coefficient of a pair.
std::optional<long double> overlap(const std::vector<long double>& a,
                                   const std::vector<long double>& b) {
  long double apart = 0, together = 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    apart += std::fabs(a[i] - b[i]);
    together += a[i] + b[i];
  }
  if (!(together > 0)) return std::nullopt;
  return (1 - apart / together) * 100;
}

// 100 x (mean a - mean b) / (mean a + mean b).
std::optional<long double> asymmetry(const std::vector<long double>& a,
                                     const std::vector<long double>& b) {
  const long double ma = mean_of(a), mb = mean_of(b);
  return percent(ma - mb, ma + mb);
}

void measure(ClenchResult& r, const ClenchWindow& w, const RecordingForm& form,
             const long double* reference) {
  const int channels = form.emg_channels;
  if (channels == 0 || w.time.empty()) return;
  std::vector<long double> v[kChannels];
  for (int c = 0; c < channels; ++c) v[c] = values_of(w, c, reference);
  r.poc_masseter = overlap(v[kMR], v[kML]);
  r.asymmetry_masseter = asymmetry(v[kMR], v[kML]);
  if (channels == kChannels) {
    r.poc_temporalis = overlap(v[kTR], v[kTL]);
    r.asymmetry_temporalis = asymmetry(v[kTR], v[kTL]);
    long double torque = 0, masseters = 0, temporales = 0;
    for (std::size_t i = 0; i < w.time.size(); ++i) {
      torque += std::fabs((v[kTR][i] + v[kML][i]) - (v[kTL][i] + v[kMR][i]));
      masseters += v[kMR][i] + v[kML][i];
      temporales += v[kTR][i] + v[kTL][i];
    }
    r.torque = percent(torque, masseters + temporales);
    r.activity = percent(masseters - temporales, masseters + temporales);
  }
  if (reference == nullptr) return;
  long double impact = 0;
  for (int c = 0; c < channels; ++c) {
    long double area = 0;  // % x ms
    for (std::size_t i = 1; i < w.time.size(); ++i)
      area += v[c][i] * static_cast<long double>(elapsed(w.time[i], w.time[i - 1]));
    impact += area / 1000;
  }
  r.impact = impact / channels;
}

}  // namespace

ClenchWindow clench_window(int t) {
  ClenchWindow w;
  const Track& track = tracks[t];
  for (const EmgWindow& window : track.mvc_window) {
    if (!window.found) continue;
    if (!w.found || window.first < w.first) w.first = window.first;
    if (!w.found || window.last > w.last) w.last = window.last;
    w.found = true;
  }
  if (!w.found) return w;
  for (int i = w.first; i <= w.last; ++i) w.time.push_back(samples.time[i]);
  for (int c = 0; c < kChannels; ++c) {
    const long double* values = experiment_channel(c, t);
    for (int i = w.first; i <= w.last; ++i) w.value[c].push_back(values ? values[i] : 0);
  }
  return w;
}

std::vector<MovementResult> measure_movements(const JawFrame& frame, const LabProtocol& protocol,
                                              int no_experiments) {
  std::vector<MovementResult> movements;
  for (int k = 0; k < no_experiments && k < kMaxTracks; ++k) {
    if (!is_border_movement(protocol.role[k])) continue;
    MovementResult m;
    m.position = k;
    if (frame.valid) measure(m, protocol.role[k], frame, tracks[k]);
    movements.push_back(m);
  }
  return movements;
}

std::vector<ClenchResult> measure_clenches(const std::vector<ClenchWindow>& windows,
                                           const LabProtocol& protocol, const RecordingForm& form,
                                           int no_experiments) {
  const int experiments = no_experiments < kMaxTracks ? no_experiments : kMaxTracks;
  long double reference[kChannels] = {};
  bool standardized = false;
  for (int k = 0; k < experiments && !standardized; ++k) {
    if (protocol.role[k] != Role::clench_reference || !windows[k].found) continue;
    standardized = form.emg_channels > 0;
    for (int c = 0; c < form.emg_channels; ++c) {
      reference[c] = mean_of(windows[k].value[c]);
      standardized = standardized && reference[c] > 0;
    }
  }
  std::vector<ClenchResult> clenches;
  for (int k = 0; k < experiments; ++k) {
    if (!is_clench(protocol.role[k])) continue;
    ClenchResult r;
    r.position = k;
    r.found = windows[k].found;
    r.first = windows[k].first;
    r.last = windows[k].last;
    r.standardized = standardized;
    measure(r, windows[k], form, standardized ? reference : nullptr);
    clenches.push_back(r);
  }
  return clenches;
}
