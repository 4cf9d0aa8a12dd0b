#include "recording/sample_line.h"

namespace {

// Takes the positions of points 0..points-1 from v[] into `working`, converting only the points
// whose digits are not those of `last`, and makes `last` theirs. Returns the points whose
// positions must be measured anew (see scan_sample).
unsigned take_positions(const Number* v, int points, Working& working, LastPositions& last) {
  unsigned changed = last.valid ? 0 : kAllPoints;
  for (int p = 0; p < points; ++p) {
    const int k = 3 * p;
    bool same = last.valid;
    for (int j = k; j < k + 3; ++j)
      same = same && v[j].plain && last.plain[j] && same_decimal(v[j].digits, last.digits[j]);
    if (same) continue;
    changed |= 1u << p;
    for (int j = k; j < k + 3; ++j) {
      working.position[j] = number_value(v[j]);
      last.plain[j] = v[j].plain;
      last.digits[j] = v[j].digits;
      last.text[j] = kNoText;
    }
  }
  return changed;
}

}  // namespace

bool scan_calibration(const char* line, Working& working, int& type) {
  long double v[kPositionFields];
  const int count = scan_calibration_line(line, v, kPositionFields);
  if (count < 9) return false;
  const int taken = count == kPositionFields ? kPositionFields : 9;
  for (int k = 0; k < taken; ++k) working.position[k] = v[k];
  type = count == kPositionFields ? 0 : 1;
  return true;
}

bool scan_sample(const char* line, int type, Working& working, LastPositions& last,
                 unsigned& changed) {
  long long t;
  Number v[kMostSampleNumbers];
  const int count = scan_sample_numbers(line, t, v, wanted_numbers(type));
  if (!fits(type, count)) return false;
  changed = take_positions(v, points_of(type), working, last);
  take_time_and_emg(t, v, count, type, working);
  return true;
}
