#include "analysis/kinematics.h"

#include <cmath>

#include "analysis/cycles.h"
#include "analysis/evaluation.h"
#include "analysis/strokes.h"
#include "protocol/protocol.h"
#include "recording/store.h"

namespace {

constexpr long double kDegreesPerRadian = 57.2957795130823208767981548141051703L;  // 180 / pi

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

Vector3 incisal_from_rest(const JawFrame& frame, int i) {
  return in_frame(frame, incisal_point(i));
}

Vector3 incisal_in_frame(const JawFrame& frame, const SampleView& view, int origin, int i) {
  const Vector3 at{view.incisal_x[i], view.incisal_y[i], view.incisal_z[i]};
  const Vector3 from{view.incisal_x[origin], view.incisal_y[origin], view.incisal_z[origin]};
  return in_frame(frame, at - from);
}

Vector3 incisal_from_rest(const JawFrame& frame, const SampleView& view, int i) {
  return in_frame(frame, {view.incisal_x[i], view.incisal_y[i], view.incisal_z[i]});
}

namespace {

// The frontal-plane angle of the closing's last kClosingAngleSpan_mm: from the point of the
// closing path that height above the occlusion (interpolated between the samples around it, or
// the peak for a lower closing) to the occlusion, against the opening axis.
std::optional<long double> closing_angle(const JawFrame& frame, int o, int p, int c) {
  const Vector3 end = incisal_in_frame(frame, o, c);
  const Vector3 top = incisal_in_frame(frame, o, p);
  Vector3 from = top;
  const long double level = end.y + kClosingAngleSpan_mm;
  if (top.y > level) {
    int j = c - 1;  // the last sample of the closing at or above that height
    while (j > p && incisal_in_frame(frame, o, j).y < level) --j;
    const Vector3 above = incisal_in_frame(frame, o, j);
    const Vector3 below = incisal_in_frame(frame, o, j + 1);
    const long double share = (above.y - level) / (above.y - below.y);
    from = {above.x + share * (below.x - above.x), level, 0};
  }
  const long double height = from.y - end.y;
  if (!(height > 0)) return std::nullopt;
  return std::atan2(from.x - end.x, height) * kDegreesPerRadian;
}

StrokeShape shape_of(const JawFrame& frame, int o, int p, int c) {
  StrokeShape s;
  const Vector3 at_peak = incisal_in_frame(frame, o, p);
  s.vertical_mm = at_peak.y;
  s.ap_mm = at_peak.z;
  for (int i = p; i <= c; ++i) {
    const long double lateral = incisal_in_frame(frame, o, i).x;
    if (std::fabs(lateral) > std::fabs(s.lateral_mm)) s.lateral_mm = lateral;
  }
  if (s.lateral_mm >= kCentralLateral_mm)
    s.side_kinematic = 'R';
  else if (s.lateral_mm <= -kCentralLateral_mm)
    s.side_kinematic = 'L';
  // Shoelace over o..c; the segment back from c to o (the origin) adds nothing.
  long double twice = 0;
  Vector3 previous{};
  for (int i = o + 1; i <= c; ++i) {
    const Vector3 at = incisal_in_frame(frame, o, i);
    twice += previous.x * at.y - at.x * previous.y;
    previous = at;
  }
  s.frontal_area_mm2 = twice / 2;
  s.closing_angle_deg = closing_angle(frame, o, p, c);
  if (s.side_kinematic != 'C' && std::fabs(s.frontal_area_mm2) >= kFlatLoop_mm2)
    s.sequencing = (s.side_kinematic == 'R') == (s.frontal_area_mm2 < 0) ? 'N' : 'R';
  return s;
}

// 'R' or 'L' when that masseter's burst, relative to its MVC, exceeds the other's by the margin,
// 'B' otherwise; 0 when a masseter's MVC is 0.
char emg_side(const long double* burst_max) {
  if (!(Channel1_mvc > 0) || !(Channel2_mvc > 0)) return 0;
  const long double right = burst_max[0] / Channel1_mvc;
  const long double left = burst_max[1] / Channel2_mvc;
  if (right > kEmgSideMargin * left) return 'R';
  if (left > kEmgSideMargin * right) return 'L';
  return 'B';
}

}  // namespace

std::vector<StrokeResult> measure_strokes(const JawFrame& frame, const Track& track, bool emg,
                                          std::vector<CycleResult>& cycles) {
  const std::vector<StrokeBounds> bounds = find_strokes(
      samples.incisal_dist.data(), samples.time.data(), track.first_entry, track.last_entry);
  std::vector<StrokeResult> strokes;
  std::size_t next_cycle = 0;  // the first cycle that may hold the stroke's peak
  for (std::size_t k = 0; k < bounds.size(); ++k) {
    const StrokeBounds& b = bounds[k];
    const bool last = k + 1 == bounds.size();
    StrokeResult s;
    const int o = s.opening_start = b.opening_start;
    const int p = s.peak = b.peak;
    const int c = s.occlusion = b.occlusion;
    s.opening_start_time = samples.time[o];
    s.peak_time = samples.time[p];
    s.occlusion_time = samples.time[c];
    s.opening_ms = elapsed(s.peak_time, s.opening_start_time);
    s.closing_ms = elapsed(s.occlusion_time, s.peak_time);
    if (!last) {
      s.next_start = bounds[k + 1].opening_start;
      s.occlusal_ms = elapsed(samples.time[s.next_start], s.occlusion_time);
      s.cycle_ms = elapsed(samples.time[s.next_start], s.opening_start_time);
    }
    s.opening_mm = samples.incisal_dist[p] - samples.incisal_dist[o];
    for (int i = o + 1; i <= c; ++i) s.path_mm += norm(incisal_point(i) - incisal_point(i - 1));
    s.peak_opening_speed = peak_speed(o, p);
    s.peak_closing_speed = peak_speed(p, c);
    if (frame.valid) s.shape = shape_of(frame, o, p, c);
    // The masseters' bursts from the peak to the next stroke's peak: the power stroke's burst
    // starts in the closing and may last through the occlusal pause into the next opening.
    const int emg_end = last ? track.last_entry : bounds[k + 1].peak - 1;
    long double burst_max[2] = {0, 0};
    for (int ch = 0; ch < 2; ++ch) burst_max[ch] = raise_by_bursts(ch, p + 1, emg_end, 0);
    s.side_emg = emg_side(burst_max);
    if (emg) s.emg_confirmed = confirmed_by_masseters(burst_max);
    // Cycles and peaks both run forward through the trial, the cycles apart.
    while (next_cycle < cycles.size() && cycles[next_cycle].cycle.end < p) ++next_cycle;
    if (next_cycle < cycles.size() && cycles[next_cycle].cycle.start <= p) {
      CycleResult& cycle = cycles[next_cycle];
      s.cycle = static_cast<int>(next_cycle) + 1;
      if (cycle.first_stroke == 0) cycle.first_stroke = static_cast<int>(k) + 1;
      cycle.last_stroke = static_cast<int>(k) + 1;
    }
    strokes.push_back(s);
  }
  return strokes;
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

StrokeSummary summarise(const std::vector<const std::vector<StrokeResult>*>& trials,
                        bool confirmed_only) {
  StrokeSummary summary;
  std::vector<long double> opening, closing, occlusal, cycle, vertical, lateral, opening_speed,
      closing_speed;
  int agreeing = 0, sided = 0, switches = 0, pairs = 0, normal = 0, reversed = 0;
  for (const std::vector<StrokeResult>* trial : trials) {
    char previous = 0;  // kinematic side of the trial's previous stroke of the set
    for (const StrokeResult& s : *trial) {
      if (confirmed_only && !s.emg_confirmed.value_or(false)) continue;
      ++summary.strokes;
      opening.push_back(static_cast<long double>(s.opening_ms));
      closing.push_back(static_cast<long double>(s.closing_ms));
      if (s.occlusal_ms) occlusal.push_back(static_cast<long double>(*s.occlusal_ms));
      if (s.cycle_ms) cycle.push_back(static_cast<long double>(*s.cycle_ms));
      opening_speed.push_back(s.peak_opening_speed);
      closing_speed.push_back(s.peak_closing_speed);
      if (!s.shape) continue;
      const StrokeShape& k = *s.shape;
      vertical.push_back(k.vertical_mm);
      lateral.push_back(std::fabs(k.lateral_mm));
      if (k.side_kinematic == 'R') ++summary.side_right;
      if (k.side_kinematic == 'L') ++summary.side_left;
      if (k.side_kinematic == 'C') ++summary.side_central;
      if (k.sequencing == 'N') ++normal;
      if (k.sequencing == 'R') ++reversed;
      if (k.side_kinematic != 'C' && (s.side_emg == 'R' || s.side_emg == 'L')) {
        ++sided;
        if (s.side_emg == k.side_kinematic) ++agreeing;
      }
      if (previous != 0) {
        ++pairs;
        if (k.side_kinematic != previous) ++switches;
      }
      previous = k.side_kinematic;
    }
  }
  summary.opening_ms = spread_of(opening);
  summary.closing_ms = spread_of(closing);
  summary.occlusal_ms = spread_of(occlusal);
  summary.cycle_ms = spread_of(cycle);
  summary.vertical_mm = spread_of(vertical);
  summary.lateral_abs_mm = spread_of(lateral);
  summary.peak_opening_speed = spread_of(opening_speed);
  summary.peak_closing_speed = spread_of(closing_speed);
  if (summary.cycle_ms.mean && *summary.cycle_ms.mean > 0)
    summary.frequency_hz = 1000 / *summary.cycle_ms.mean;
  const int sides = summary.side_right + summary.side_left;
  if (sides > 0)
    summary.side_preference_pct =
        (static_cast<long double>(summary.side_right - summary.side_left) / sides) * 100;
  if (sided > 0) summary.side_agreement_pct = (static_cast<long double>(agreeing) / sided) * 100;
  if (pairs > 0) summary.side_switch_rate = static_cast<long double>(switches) / pairs;
  if (normal + reversed > 0)
    summary.reversed_pct = (static_cast<long double>(reversed) / (normal + reversed)) * 100;
  return summary;
}
