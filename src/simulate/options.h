// The command line of chew_simulate.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// Sample-line forms of the data file.
enum class Form {
  five_point,       // 5 points, 3 aux values, 2 EMG channels: 20 numbers after the time stamp
  three_point_4ch,  // 3 points, 3 aux values, 4 EMG channels: 16 numbers
  three_point_2ch,  // 3 points, 3 aux values, 2 EMG channels: 14 numbers
  jaw_only,         // as three_point_4ch, every EMG value written as 0
};

constexpr int kMinRate = 50;    // Hz
constexpr int kMaxRate = 1000;  // Hz: time stamps are whole milliseconds
constexpr double kMinScale = 0.01;
constexpr double kMaxScale = 100;
constexpr long long kMinSamples = 18;      // one sample per experiment
constexpr long long kMaxSamples = 500000;  // what the evaluator can hold

struct SimOptions {
  std::uint64_t seed = 1;
  Form form = Form::five_point;
  int rate = 1000;        // samples per second
  double scale = 1;       // trial durations relative to the protocol's
  long long samples = 0;  // exact total number of samples; 0 when not given
  std::string out;        // recording; "-" is standard output
  std::string truth;      // ground truth; empty when not wanted, "-" is standard output
  bool help = false;
  bool version = false;
};

struct ParsedOptions {
  SimOptions options;
  std::string error;  // empty when the command line is good
};

// Long options, as "--name value" or "--name=value"; -h is --help.
ParsedOptions parse_options(int argc, const char* const* argv);

void print_usage(std::FILE* out);

// "chew_simulate 2.0": the evaluator's version, which the simulator is released with.
void print_version(std::FILE* out);

const char* form_name(Form form);
