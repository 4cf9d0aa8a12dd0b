#include "curve.h"

void Curve::to(double time, double value) {
  if (!time_.empty() && time < time_.back()) time = time_.back();
  time_.push_back(time);
  value_.push_back(value);
}

double Curve::at(double time) const {
  if (time_.empty()) return 0;
  if (time <= time_.front()) return value_.front();
  if (time >= time_.back()) return value_.back();
  // Find k with time_[k] <= time < time_[k + 1]; the look-ups of one recording rise in time.
  if (cursor_ + 1 >= time_.size() || time_[cursor_] > time) cursor_ = 0;
  while (time_[cursor_ + 1] <= time) ++cursor_;
  const std::size_t k = cursor_;
  const double u = (time - time_[k]) / (time_[k + 1] - time_[k]);
  return value_[k] + (value_[k + 1] - value_[k]) * smoothstep(u);
}
