// A signal over time, given by knots (time in ms, value) and eased between them.
//
// Between two knots the value follows the smoothstep 3u^2 - 2u^3: it moves monotonically from
// one knot's value to the next and rests (zero slope) at every knot. A knot earlier than the
// last one is moved to the last one's time, so a knot list always runs forward in time.
#pragma once

#include <cstddef>
#include <vector>

class Curve {
 public:
  // The value `value` is reached at `time` (ms).
  void to(double time, double value);
  // Keeps the last value until `time`.
  void hold(double time) { to(time, last_value()); }

  double last_time() const { return time_.empty() ? 0 : time_.back(); }
  double last_value() const { return value_.empty() ? 0 : value_.back(); }

  // The value at `time`: the first knot's value before it, the last knot's after it, 0 without
  // knots. Fastest when called with rising times.
  double at(double time) const;

 private:
  std::vector<double> time_;
  std::vector<double> value_;
  mutable std::size_t cursor_ = 0;  // segment of the last look-up
};

// Eased position 3u^2 - 2u^3 at u in [0, 1].
inline double smoothstep(double u) { return u * u * (3.0 - 2.0 * u); }
