#include "reference/snapshot.h"

#include <cstring>
#include <sstream>
#include <tuple>

namespace {

// The ten significant bytes of an extended value; the rest of its storage is padding.
bool same(long double a, long double b) { return std::memcmp(&a, &b, 10) == 0; }

#define CHEW_ENTRY_FLOATS(X)                                                                    \
  X(Right_x)                                                                                    \
  X(Right_y)                                                                                    \
  X(Right_z) X(Right_dist) X(Left_x) X(Left_y) X(Left_z) X(Left_dist) X(Incisal_x) X(Incisal_y) \
      X(Incisal_z) X(Incisal_dist) X(UK6_1_x) X(UK6_1_y) X(UK6_1_z) X(UK6_1_dist) X(UK6_2_x)    \
          X(UK6_2_y) X(UK6_2_z) X(UK6_2_dist) X(Aux1) X(Aux2) X(Aux3) X(Channel1) X(Channel2)   \
              X(Channel3) X(Channel4) X(Channel1_burst) X(Channel2_burst) X(Channel3_burst)     \
                  X(Channel4_burst)
#define CHEW_ENTRY_INTS(X) \
  X(time) X(type) X(emg_channels) X(Right_dir) X(Left_dir) X(Incisal_dir) X(UK6_1_dir) X(UK6_2_dir) X(cycle_status)
#define CHEW_TRACK_FLOATS(X)                                                               \
  X(Right_max)                                                                             \
  X(Left_max)                                                                              \
  X(Incisal_max) X(UK6_1_max) X(UK6_2_max) X(Channel1_mvc) X(Channel1_nl) X(Channel1_work) \
      X(Channel2_mvc) X(Channel2_nl) X(Channel2_work) X(Channel3_mvc) X(Channel3_nl)       \
          X(Channel3_work) X(Channel4_mvc) X(Channel4_nl) X(Channel4_work)
#define CHEW_TRACK_INTS(X) X(first_entry) X(last_entry) X(no_cycles) X(no_chewing_cycles)

std::string entry_difference(const Entry& a, const Entry& b) {
  std::ostringstream out;
#define CHEW_FLOAT(f) \
  if (!same(a.f, b.f)) out << #f << ' ' << a.f << " != " << b.f << ' ';
#define CHEW_INT(f) \
  if (a.f != b.f) out << #f << ' ' << +a.f << " != " << +b.f << ' ';
  CHEW_ENTRY_FLOATS(CHEW_FLOAT)
  CHEW_ENTRY_INTS(CHEW_INT)
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
#undef CHEW_FLOAT
#undef CHEW_INT
  return out.str();
}

}  // namespace

StoreSnapshot take_snapshot() {
  StoreSnapshot s;
  s.entries.assign(entries, entries + no_entries);
  s.tracks.assign(tracks, tracks + kMaxTracks);
  s.calibration = calibration;
  s.headers = {person, sex, born, creation, frequency, std::to_string(no_tracks)};
  s.run_wide = {Right_max,    Left_max,     Incisal_max,  UK6_1_max,    UK6_2_max,
                Channel1_mvc, Channel2_mvc, Channel3_mvc, Channel4_mvc, Channel1_nl,
                Channel2_nl,  Channel3_nl,  Channel4_nl};
  return s;
}

std::string first_difference(const StoreSnapshot& a, const StoreSnapshot& b) {
  if (a.entries.size() != b.entries.size())
    return "no_entries " + std::to_string(a.entries.size()) +
           " != " + std::to_string(b.entries.size());
  if (a.headers != b.headers) return "header texts or no_tracks differ";
  for (std::size_t i = 0; i < a.entries.size(); ++i)
    if (std::string d = entry_difference(a.entries[i], b.entries[i]); !d.empty())
      return "entries[" + std::to_string(i) + "]: " + d;
  for (std::size_t k = 0; k < a.tracks.size(); ++k)
    if (std::string d = track_difference(a.tracks[k], b.tracks[k]); !d.empty())
      return "tracks[" + std::to_string(k) + "]: " + d;
  if (std::string d = entry_difference(a.calibration, b.calibration); !d.empty())
    return "calibration: " + d;
  for (std::size_t k = 0; k < a.run_wide.size(); ++k)
    if (!same(a.run_wide[k], b.run_wide[k])) return "run-wide result " + std::to_string(k);
  return "";
}
