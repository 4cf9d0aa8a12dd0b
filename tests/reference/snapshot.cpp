#include "reference/snapshot.h"

#include <cstring>
#include <sstream>
#include <tuple>
#include <type_traits>

namespace {

// The ten significant bytes of an extended value; the rest of its storage is padding.
bool same(long double a, long double b) { return std::memcmp(&a, &b, 10) == 0; }

// clang-format off
#define CHEW_TRACK_FLOATS(X)                                                            \
  X(Right_max) X(Left_max) X(Incisal_max) X(UK6_1_max) X(UK6_2_max)                     \
  X(Channel1_mvc) X(Channel1_nl) X(Channel1_work) X(Channel2_mvc) X(Channel2_nl)        \
  X(Channel2_work) X(Channel3_mvc) X(Channel3_nl) X(Channel3_work) X(Channel4_mvc)      \
  X(Channel4_nl) X(Channel4_work)
// clang-format on
#define CHEW_TRACK_INTS(X) X(first_entry) X(last_entry) X(no_cycles) X(no_chewing_cycles)

#define CHEW_FLOAT(f) \
  if (!same(a.f, b.f)) out << #f << ' ' << a.f << " != " << b.f << ' ';
#define CHEW_INT(f) \
  if (a.f != b.f) out << #f << ' ' << +a.f << " != " << +b.f << ' ';

// The first sample at which two columns of n values differ; an empty column holds +0 where
// `empty_is_zero`.
template <typename T>
std::string column_difference(const char* name, const std::vector<T>& a, const std::vector<T>& b,
                              int n, bool empty_is_zero) {
  const auto size_ok = [&](const std::vector<T>& v) {
    return v.size() == static_cast<std::size_t>(n) || (empty_is_zero && v.empty());
  };
  if (!size_ok(a) || !size_ok(b))
    return std::string(name) + ": " + std::to_string(a.size()) + " and " +
           std::to_string(b.size()) + " values for " + std::to_string(n) + " samples";
  for (int i = 0; i < n; ++i) {
    const T x = a.empty() ? T{} : a[static_cast<std::size_t>(i)];
    const T y = b.empty() ? T{} : b[static_cast<std::size_t>(i)];
    if (std::memcmp(&x, &y, std::is_same<T, long double>::value ? 10 : sizeof(T)) != 0) {
      std::ostringstream out;
      out << name << '[' << i << "] " << +x << " != " << +y;
      return out.str();
    }
  }
  return "";
}

std::string samples_difference(const Samples& a, const Samples& b, int n) {
  std::string d;
  for (int c = 0; c < kChannels && d.empty(); ++c) {
    const std::string channel = "channel" + std::to_string(c + 1);
    d = column_difference(channel.c_str(), a.channel[c], b.channel[c], n, true);
    if (d.empty())
      d = column_difference((channel + "_burst").c_str(), burst_column(a.bursts[c], n),
                            burst_column(b.bursts[c], n), n, true);
  }
  if (d.empty()) d = column_difference("time", a.time, b.time, n, false);
  if (d.empty() && a.positions_kept != b.positions_kept) d = "positions_kept differs";
  // Positions not kept: both columns must be empty.
  const bool kept = a.positions_kept;
  if (d.empty()) d = column_difference("incisal_x", a.incisal_x, b.incisal_x, kept ? n : 0, false);
  if (d.empty()) d = column_difference("incisal_y", a.incisal_y, b.incisal_y, kept ? n : 0, false);
  if (d.empty()) d = column_difference("incisal_z", a.incisal_z, b.incisal_z, kept ? n : 0, false);
  if (d.empty()) d = column_difference("incisal_dist", a.incisal_dist, b.incisal_dist, n, false);
  if (d.empty()) d = column_difference("incisal_dir", a.incisal_dir, b.incisal_dir, n, false);
  if (d.empty()) d = column_difference("cycle_status", a.cycle_status, b.cycle_status, n, false);
  return d;
}

std::string raw_positions_difference(const RawPositions& a, const RawPositions& b) {
  std::ostringstream out;
  for (int k = 0; k < kPositionFields; ++k) {
    CHEW_INT(non_finite[k])
    CHEW_INT(first_non_finite[k])
  }
  for (int p = 0; p < kPointPairs; ++p) {
    CHEW_INT(pair_seen[p])
    CHEW_FLOAT(pair_min[p])
    CHEW_FLOAT(pair_max[p])
  }
  return out.str();
}

std::string track_difference(const Track& a, const Track& b) {
  std::ostringstream out;
  CHEW_TRACK_FLOATS(CHEW_FLOAT)
  CHEW_TRACK_INTS(CHEW_INT)
  for (int c = 0; c < kChannels; ++c) {
    for (const auto& [name, x, y] : {std::tuple("mvc_window", a.mvc_window[c], b.mvc_window[c]),
                                     std::tuple("nl_window", a.nl_window[c], b.nl_window[c])}) {
      if (x.found != y.found || (x.found && (x.first != y.first || x.last != y.last)))
        out << name << '[' << c << "] " << x.found << ' ' << x.first << ".." << x.last
            << " != " << y.found << ' ' << y.first << ".." << y.last << ' ';
    }
  }
  return out.str();
}

}  // namespace

StoreSnapshot take_snapshot() {
  StoreSnapshot s;
  s.no_entries = no_entries;
  s.samples = samples;
  s.tracks.assign(tracks, tracks + kMaxTracks);
  s.calibration = calibration;
  s.sample_forms = sample_forms;
  s.raw_positions.assign(raw_positions, raw_positions + kMaxTracks);
  s.distance_max.assign(&distance_max[0][0], &distance_max[0][0] + kMaxTracks * kPoints);
  s.headers = {person, sex, born, creation, frequency, std::to_string(no_tracks)};
  s.run_wide = {Right_max,    Left_max,     Incisal_max,  UK6_1_max,    UK6_2_max,
                Channel1_mvc, Channel2_mvc, Channel3_mvc, Channel4_mvc, Channel1_nl,
                Channel2_nl,  Channel3_nl,  Channel4_nl};
  return s;
}

std::string first_difference(const StoreSnapshot& a, const StoreSnapshot& b) {
  if (a.no_entries != b.no_entries)
    return "no_entries " + std::to_string(a.no_entries) + " != " + std::to_string(b.no_entries);
  if (a.headers != b.headers) return "header texts or no_tracks differ";
  if (std::string d = samples_difference(a.samples, b.samples, a.no_entries); !d.empty())
    return "samples: " + d;
  for (std::size_t k = 0; k < a.tracks.size(); ++k)
    if (std::string d = track_difference(a.tracks[k], b.tracks[k]); !d.empty())
      return "tracks[" + std::to_string(k) + "]: " + d;
  for (int k = 0; k < kPositionFields; ++k)
    if (!same(a.calibration.position[k], b.calibration.position[k]))
      return "calibration position " + std::to_string(k);
  if (a.calibration.type != b.calibration.type) return "calibration type";
  if (a.sample_forms.three_point != b.sample_forms.three_point ||
      a.sample_forms.two_channels != b.sample_forms.two_channels)
    return "sample forms";
  for (std::size_t k = 0; k < a.distance_max.size(); ++k)
    if (!same(a.distance_max[k], b.distance_max[k]))
      return "distance_max of experiment " + std::to_string(k / kPoints) + ", point " +
             std::to_string(k % kPoints);
  for (std::size_t k = 0; k < a.raw_positions.size(); ++k)
    if (std::string d = raw_positions_difference(a.raw_positions[k], b.raw_positions[k]);
        !d.empty())
      return "raw_positions[" + std::to_string(k) + "]: " + d;
  for (std::size_t k = 0; k < a.run_wide.size(); ++k)
    if (!same(a.run_wide[k], b.run_wide[k])) return "run-wide result " + std::to_string(k);
  return "";
}

std::vector<long double> burst_column(const std::vector<BurstStretch>& stretches, int n) {
  std::vector<long double> column(static_cast<std::size_t>(n), 0);
  for (const BurstStretch& b : stretches)
    for (int i = b.first; i <= b.last && i < n; ++i) column[static_cast<std::size_t>(i)] = b.value;
  return column;
}

std::vector<BurstStretch> burst_stretches(const std::vector<long double>& column) {
  std::vector<BurstStretch> stretches;
  for (int i = 0; i < static_cast<int>(column.size()); ++i) {
    const long double v = column[static_cast<std::size_t>(i)];
    if (same(v, 0.0L)) continue;
    if (!stretches.empty() && stretches.back().last == i - 1 && same(stretches.back().value, v))
      stretches.back().last = i;
    else
      stretches.push_back({i, i, v});
  }
  return stretches;
}
