// EMG from EDF, EDF+, BDF and BDF+ files through EDFlib: channels chosen by label, in uV as the
// file's scaling and physical dimension give them, and the file's annotations.
#pragma once

#include <string>
#include <vector>

struct EdfChannels {
  std::string file;
  double rate = 0;                          // Hz, shared by every channel read
  std::vector<std::vector<double>> values;  // uV, one vector per label asked for
  struct Annotation {
    double onset;  // s from the file's start
    std::string text;
  };
  std::vector<Annotation> annotations;
};

// Reads the channels labelled `labels` (roles name them in messages). A file EDFlib refuses, a
// missing or doubled label, an unknown physical dimension or channels at different rates end the
// import with a message naming the file and channel.
EdfChannels read_edf(const std::string& path, const std::vector<std::string>& labels,
                     const std::vector<std::string>& roles);

// The physical value of a digital sample in uV: the linear map of [dig_min, dig_max] onto
// [phys_min, phys_max] times the unit's factor, computed exactly from the decimal limits the
// header holds and rounded once.
struct EdfScaling {
  double phys_min, phys_max;
  int dig_min, dig_max;
  double unit_scale;
  bool unit_divide;
};
class PhysicalValue {
 public:
  explicit PhysicalValue(const EdfScaling& s);
  double operator()(int digital) const;

 private:
  EdfScaling s_;
  bool exact_ = false;  // the limits are decimals of at most 17 digits
  // value = (offset + digital * gain) / denominator, in integers.
  __int128 offset_ = 0, gain_ = 0, denominator_ = 1;
};
