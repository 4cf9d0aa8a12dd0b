#include "analysis/kinematics.h"

#include <cmath>

#include "analysis/evaluation.h"
#include "protocol/protocol.h"
#include "recording/store.h"

namespace {

Vector3 operator-(const Vector3& a, const Vector3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vector3 operator+(const Vector3& a, const Vector3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vector3 operator*(long double k, const Vector3& a) { return {k * a.x, k * a.y, k * a.z}; }
long double dot(const Vector3& a, const Vector3& b) { return (a.x * b.x + a.y * b.y) + a.z * b.z; }
long double norm(const Vector3& a) { return std::sqrt(dot(a, a)); }
Vector3 cross(const Vector3& a, const Vector3& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// A point of the calibration, by its place among the points (0 right, 1 left, 2 incisal).
Vector3 calibrated_point(int point) {
  const long double* p = calibration.position + 3 * point;
  return {p[0], p[1], p[2]};
}
Vector3 right_point() { return calibrated_point(0); }
Vector3 left_point() { return calibrated_point(1); }
// Sample i's incisal position relative to the calibration.
Vector3 incisal_point(int i) {
  return {samples.incisal_x[i], samples.incisal_y[i], samples.incisal_z[i]};
}

// The incisal displacement at the widest opening of the maximal-opening experiments: the first
// sample of the larger of their two maxima. False when the recording has neither.
bool widest_opening(Vector3& displacement) {
  long double widest = 0;
  bool found = false;
  for (int k : kMaximalOpenings) {
    if (k >= no_tracks) continue;
    for (int i = tracks[k].first_entry; i <= tracks[k].last_entry; ++i) {
      if (samples.incisal_dist[i] > widest) {
        widest = samples.incisal_dist[i];
        displacement = incisal_point(i);
        found = true;
      }
    }
  }
  return found;
}

// The cycle's sample-to-sample speed in mm/s, over the samples after `from` up to `to`; steps
// that do not move forward in time give no speed.
long double peak_speed(int from, int to) {
  long double peak = 0;
  for (int i = from + 1; i <= to; ++i) {
    const __int128 ms = elapsed(samples.time[i], samples.time[i - 1]);
    if (ms <= 0) continue;
    const long double step = norm(incisal_point(i) - incisal_point(i - 1));
    const long double speed = (step * 1000) / static_cast<long double>(ms);
    if (speed > peak) peak = speed;
  }
  return peak;
}

// A displacement in the frame's coordinates.
Vector3 in_frame(const JawFrame& frame, const Vector3& d) {
  return {dot(d, frame.lateral), dot(d, frame.vertical), dot(d, frame.ap)};
}

char emg_side(const ChewingCycle& cycle) {
  if (!(Channel1_mvc > 0) || !(Channel2_mvc > 0)) return 0;
  const long double right = cycle.burst_max[0] / Channel1_mvc;
  const long double left = cycle.burst_max[1] / Channel2_mvc;
  if (right > kEmgSideMargin * left) return 'R';
  if (left > kEmgSideMargin * right) return 'L';
  return 'B';
}

}  // namespace

JawFrame jaw_frame() {
  JawFrame frame;
  const Vector3 across = right_point() - left_point();
  const long double width = norm(across);
  if (!(width > 0)) return frame;
  frame.lateral = (1 / width) * across;
  Vector3 opening;
  if (widest_opening(opening)) {
    const Vector3 vertical = opening - dot(opening, frame.lateral) * frame.lateral;
    const long double length = norm(vertical);
    frame.opening_mm = length;
    if (length > kFlatOpening_mm) {
      frame.vertical = (1 / length) * vertical;
      frame.from_openings = true;
    }
  }
  if (!frame.from_openings) {
    // The plane of the three calibrated points: the jaw opens away from the side its normal
    // lateral x forward points to.
    const Vector3 middle = 0.5L * (right_point() + left_point());
    const Vector3 forward = calibrated_point(kIncisal) - middle;
    const Vector3 up = cross(frame.lateral, forward);
    const long double length = norm(up);
    if (!(length > 0)) return frame;
    frame.vertical = (-1 / length) * up;
  }
  frame.ap = cross(frame.lateral, frame.vertical);
  frame.valid = true;
  return frame;
}

Vector3 incisal_in_frame(const JawFrame& frame, int origin, int i) {
  return in_frame(frame, incisal_point(i) - incisal_point(origin));
}

Vector3 incisal_in_frame(const JawFrame& frame, const SampleView& view, int origin, int i) {
  const Vector3 at{view.incisal_x[i], view.incisal_y[i], view.incisal_z[i]};
  const Vector3 from{view.incisal_x[origin], view.incisal_y[origin], view.incisal_z[origin]};
  return in_frame(frame, at - from);
}

void add_kinematics(const JawFrame& frame, const Track& track, std::vector<CycleResult>& cycles) {
  for (CycleResult& result : cycles) {
    const ChewingCycle& cycle = result.cycle;
    const int peak = result.peak;
    CycleKinematics k;
    // The rise to the maximum: back from the maximum while the distance was rising.
    int start = cycle.start;
    while (start > track.first_entry && samples.incisal_dir[start] == kRose) --start;
    k.opening_start = start;
    k.opening_ms = elapsed(samples.time[peak], samples.time[start]);
    const Vector3 at_peak = incisal_in_frame(frame, start, peak);
    k.vertical_mm = at_peak.y;
    k.ap_mm = at_peak.z;
    for (int i = peak; i <= cycle.end; ++i) {
      const long double lateral = incisal_in_frame(frame, start, i).x;
      if (std::fabs(lateral) > std::fabs(k.lateral_mm)) k.lateral_mm = lateral;
    }
    for (int i = start + 1; i <= cycle.end; ++i)
      k.path_mm += norm(incisal_point(i) - incisal_point(i - 1));
    k.peak_opening_speed = peak_speed(start, peak);
    k.peak_closing_speed = peak_speed(peak, cycle.end);
    if (k.lateral_mm >= kCentralLateral_mm)
      k.side_kinematic = 'R';
    else if (k.lateral_mm <= -kCentralLateral_mm)
      k.side_kinematic = 'L';
    k.side_emg = emg_side(cycle);
    result.kinematics = k;
  }
  for (std::size_t j = 0; j + 1 < cycles.size(); ++j)
    cycles[j].kinematics->occlusal_ms = elapsed(
        samples.time[cycles[j + 1].kinematics->opening_start], samples.time[cycles[j].cycle.end]);
}

Spread spread_of(const std::vector<long double>& values) {
  Spread s;
  const std::size_t n = values.size();
  if (n == 0) return s;
  long double sum = 0;
  for (long double v : values) sum += v;
  const long double mean = sum / static_cast<long double>(n);
  s.mean = mean;
  if (n < 2) return s;
  long double squares = 0;
  for (long double v : values) squares += (v - mean) * (v - mean);
  const long double sd = std::sqrt(squares / static_cast<long double>(n - 1));
  s.sd = sd;
  if (mean != 0) s.cv_pct = (sd / mean) * 100;
  return s;
}

KinematicSummary summarise(const std::vector<const std::vector<CycleResult>*>& trials) {
  KinematicSummary summary;
  std::vector<long double> closing, opening, vertical, lateral, speed;
  int agreeing = 0, sided = 0, switches = 0, pairs = 0;
  for (const std::vector<CycleResult>* trial : trials) {
    char previous = 0;  // kinematic side of the trial's previous confirmed cycle
    for (const CycleResult& cycle : *trial) {
      ++summary.cycles;
      if (!cycle.cycle.confirmed) continue;
      const CycleKinematics& k = *cycle.kinematics;
      closing.push_back(static_cast<long double>(cycle.duration_ms));
      opening.push_back(static_cast<long double>(k.opening_ms));
      vertical.push_back(k.vertical_mm);
      lateral.push_back(std::fabs(k.lateral_mm));
      speed.push_back(k.peak_closing_speed);
      if (k.side_kinematic == 'R') ++summary.side_right;
      if (k.side_kinematic == 'L') ++summary.side_left;
      if (k.side_kinematic == 'C') ++summary.side_central;
      if (k.side_kinematic != 'C' && (k.side_emg == 'R' || k.side_emg == 'L')) {
        ++sided;
        if (k.side_emg == k.side_kinematic) ++agreeing;
      }
      if (previous != 0) {
        ++pairs;
        if (k.side_kinematic != previous) ++switches;
      }
      previous = k.side_kinematic;
    }
  }
  summary.closing_ms = spread_of(closing);
  summary.opening_ms = spread_of(opening);
  summary.vertical_mm = spread_of(vertical);
  summary.lateral_abs_mm = spread_of(lateral);
  summary.peak_closing_speed = spread_of(speed);
  const int sides = summary.side_right + summary.side_left;
  if (sides > 0)
    summary.side_preference_pct =
        (static_cast<long double>(summary.side_right - summary.side_left) / sides) * 100;
  if (sided > 0) summary.side_agreement_pct = (static_cast<long double>(agreeing) / sided) * 100;
  if (pairs > 0) summary.side_switch_rate = static_cast<long double>(switches) / pairs;
  return summary;
}
