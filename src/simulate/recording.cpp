#include "recording.h"

#include <array>
#include <cmath>

namespace {

constexpr double kTwoPi = 6.283185307179586;

// Plan and noise draw from separate streams, so the noise never shifts the plan.
constexpr std::uint64_t kPlanStream = 1;
constexpr std::uint64_t kNoiseStream = 2;

// Slow sensor noise of one coordinate, mm: white noise through two first-order low passes at
// `corner` Hz, scaled to the standard deviation `deviation`. Its slope stays far below that of
// any chewing movement, so it shifts turning points but adds none where the jaw moves fast.
class Drift {
 public:
  Drift(int rate, double corner, double deviation) {
    const double w = kTwoPi * corner / rate;
    a_ = w / (1 + w);
    // Impulse response a^2 (n + 1) b^n with b = 1 - a: its energy is a^4 (1 + q) / (1 - q)^3
    // with q = b^2.
    const double q = (1 - a_) * (1 - a_);
    const double energy = a_ * a_ * a_ * a_ * (1 + q) / ((1 - q) * (1 - q) * (1 - q));
    gain_ = deviation / std::sqrt(energy);
  }
  double next(double white) {
    first_ += a_ * (white - first_);
    second_ += a_ * (first_ - second_);
    return second_ * gain_;
  }

 private:
  double a_ = 0, gain_ = 0;
  double first_ = 0, second_ = 0;
};

// A rotation of the jaw about an axis through the incisal point (Rodrigues' formula).
struct Turn {
  double axis[3] = {1, 0, 0};  // unit vector
  double cos = 1, sin = 0;

  // The displacement of point p of the jaw when the incisal point moves by `incisal` (mm) and
  // the jaw turns by this rotation about it.
  void displacement(const Subject& s, int p, const std::array<double, 3>& incisal,
                    double out[3]) const {
    double v[3];
    for (int a = 0; a < 3; ++a) v[a] = (s.reference[p][a] - s.reference[kIncisal][a]) / 100.0;
    const double cross[3] = {axis[1] * v[2] - axis[2] * v[1], axis[2] * v[0] - axis[0] * v[2],
                             axis[0] * v[1] - axis[1] * v[0]};
    const double along = axis[0] * v[0] + axis[1] * v[1] + axis[2] * v[2];
    for (int a = 0; a < 3; ++a) {
      const double turned = v[a] * cos + cross[a] * sin + axis[a] * along * (1 - cos);
      out[a] = incisal[a] + turned - v[a];
    }
  }
};

// The turn that points the line from the condyles' midpoint to the incisal point at the
// incisal point's new place, the midpoint moved by `hinge_move` (mm).
Turn turn_towards(const Subject& s, const std::array<double, 3>& incisal,
                  const double hinge_move[3]) {
  double from[3], to[3];
  for (int a = 0; a < 3; ++a) {
    const double hinge = (s.reference[kRightCondyle][a] + s.reference[kLeftCondyle][a]) / 200.0;
    from[a] = s.reference[kIncisal][a] / 100.0 - hinge;
    to[a] = from[a] + incisal[a] - hinge_move[a];
  }
  const double cross[3] = {from[1] * to[2] - from[2] * to[1], from[2] * to[0] - from[0] * to[2],
                           from[0] * to[1] - from[1] * to[0]};
  const double cross_length =
      std::sqrt((cross[0] * cross[0] + cross[1] * cross[1]) + cross[2] * cross[2]);
  const double from_length = std::sqrt((from[0] * from[0] + from[1] * from[1]) + from[2] * from[2]);
  const double to_length = std::sqrt((to[0] * to[0] + to[1] * to[1]) + to[2] * to[2]);
  Turn turn;
  if (cross_length == 0 || from_length == 0 || to_length == 0) return turn;
  for (int a = 0; a < 3; ++a) turn.axis[a] = cross[a] / cross_length;
  turn.sin = cross_length / (from_length * to_length);
  turn.cos = ((from[0] * to[0] + from[1] * to[1]) + from[2] * to[2]) / (from_length * to_length);
  return turn;
}

// Band-limited unit-variance noise for the EMG: a first-order high pass at 20 Hz and two
// first-order low passes at 150 Hz (both lowered at low sampling rates). The gain comes from
// running the filter over a fixed noise sequence, so it is the same on every machine.
class EmgNoise {
 public:
  explicit EmgNoise(int rate) {
    const double high = kTwoPi * (rate / 10.0 < 20 ? rate / 10.0 : 20) / rate;
    const double low = kTwoPi * (0.3 * rate < 150 ? 0.3 * rate : 150) / rate;
    alpha_ = 1 / (1 + high);
    a_ = low / (1 + low);
    gain_ = 1;
    Rng calibration(0x5EEDULL, 7);
    constexpr int kSettle = 1000, kMeasured = 1 << 16;
    double energy = 0;
    for (int i = 0; i < kSettle + kMeasured; ++i) {
      const double value = next(calibration.noise());
      if (i >= kSettle) energy += value * value;
    }
    gain_ = 1 / std::sqrt(energy / kMeasured);
    previous_ = high_pass_ = first_ = second_ = 0;
  }
  double next(double white) {
    high_pass_ = alpha_ * (high_pass_ + white - previous_);
    previous_ = white;
    first_ += a_ * (high_pass_ - first_);
    second_ += a_ * (first_ - second_);
    return second_ * gain_;
  }

 private:
  double alpha_ = 0, a_ = 0, gain_ = 0;
  double previous_ = 0, high_pass_ = 0, first_ = 0, second_ = 0;
};

// `value` x `factor`, rounded half away from zero.
long long rounded(double value, double factor) {
  const double scaled = value * factor;
  return scaled >= 0 ? static_cast<long long>(std::floor(scaled + 0.5))
                     : -static_cast<long long>(std::floor(-scaled + 0.5));
}

// One text line, built without printf so that the digits depend on nothing but the integers.
class Line {
 public:
  void clear() { length_ = 0; }
  void text(const char* s) {
    while (*s != '\0') text_[length_++] = *s++;
  }
  void integer(long long value) {
    char digits[24];
    int count = 0;
    unsigned long long magnitude = value < 0 ? 0ULL - static_cast<unsigned long long>(value)
                                             : static_cast<unsigned long long>(value);
    do {
      digits[count++] = static_cast<char>('0' + magnitude % 10);
      magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0) text_[length_++] = '-';
    while (count > 0) text_[length_++] = digits[--count];
  }
  // `scaled` / 10^decimals with exactly `decimals` decimals; a zero is never signed.
  void fixed(long long scaled, int decimals) {
    long long unit = 1;
    for (int i = 0; i < decimals; ++i) unit *= 10;
    if (scaled < 0) text_[length_++] = '-';
    const unsigned long long magnitude = scaled < 0 ? 0ULL - static_cast<unsigned long long>(scaled)
                                                    : static_cast<unsigned long long>(scaled);
    integer(static_cast<long long>(magnitude / unit));
    text_[length_++] = '.';
    unsigned long long fraction = magnitude % unit;
    for (long long place = unit / 10; place > 0; place /= 10) {
      text_[length_++] = static_cast<char>('0' + fraction / place);
      fraction %= place;
    }
  }
  bool write(std::FILE* out) const {
    return std::fwrite(text_, 1, length_, out) == static_cast<std::size_t>(length_);
  }

 private:
  char text_[512];
  int length_ = 0;
};

int points_of(Form form) { return form == Form::five_point ? 5 : 3; }
int channels_of(Form form) { return form == Form::three_point_4ch ? 4 : 2; }

}  // namespace

std::vector<long long> sample_counts(const SimOptions& options, std::string& error) {
  std::vector<long long> counts(kExperiments, 1);
  if (options.samples > 0) {
    // One sample each, the rest in proportion to the durations by largest remainder.
    const long long spare = options.samples - kExperiments;
    long long given = 0;
    std::vector<long long> remainder(kExperiments);
    for (int k = 0; k < kExperiments; ++k) {
      const long long share = spare * nominal_duration(k);
      counts[k] += share / kProtocolDuration;
      remainder[k] = share % kProtocolDuration;
      given += share / kProtocolDuration;
    }
    for (long long left = spare - given; left > 0; --left) {
      int best = 0;
      for (int k = 1; k < kExperiments; ++k) {
        if (remainder[k] > remainder[best]) best = k;
      }
      ++counts[best];
      remainder[best] = -1;
    }
    return counts;
  }
  long long total = 0;
  for (int k = 0; k < kExperiments; ++k) {
    const double samples = nominal_duration(k) * options.scale * options.rate / 1000.0;
    counts[k] += static_cast<long long>(std::floor(samples));
    total += counts[k];
  }
  if (total > kMaxSamples) {
    error = "the recording would hold " + std::to_string(total) +
            " samples, more than 500000; lower --rate or --scale, or give --samples";
    counts.clear();
  }
  return counts;
}

Recording plan_recording(const SimOptions& options, const std::vector<long long>& samples) {
  Recording r;
  r.samples = samples;
  for (long long n : samples) r.duration.push_back((n - 1) * 1000 / options.rate);
  Rng plan(options.seed, kPlanStream);
  r.subject = make_subject(plan);
  const bool idle =
      clench_long_enough(static_cast<double>(r.duration[0]), static_cast<double>(r.duration[1]));
  for (int k = 0; k < kExperiments; ++k) {
    r.scripts.push_back(
        plan_experiment(k, static_cast<double>(r.duration[k]), r.subject, idle, plan));
  }
  return r;
}

bool write_recording(std::FILE* out, const SimOptions& options, const Recording& recording) {
  const Subject& s = recording.subject;
  const int points = points_of(options.form);
  const int channels = channels_of(options.form);
  std::fprintf(out, "Person: Simulated subject %llu\n",
               static_cast<unsigned long long>(options.seed));
  std::fprintf(out, "Sex: %s\n", s.female ? "f" : "m");
  std::fprintf(out, "Born: %02d.%02d.%04d\n", s.born[0], s.born[1], s.born[2]);
  std::fprintf(out, "Creation date: %02d.%02d.%04d\n", s.created[0], s.created[1], s.created[2]);
  std::fprintf(out, "Frequency:   %d\n", options.rate);  // the value starts 4 after the keyword

  Line line;
  line.text("Calibr");
  for (int p = 0; p < points; ++p) {
    for (int a = 0; a < 3; ++a) {
      line.text(" ");
      line.fixed(s.reference[p][a], 2);
    }
  }
  line.text("\n");
  if (!line.write(out)) return false;

  // Sensor noise (mm): the condyle markers are tracked less precisely than the incisal point.
  const double deviation[kPoints] = {0.02, 0.02, 0.012, 0.015, 0.015};
  std::vector<Drift> drift;
  for (int p = 0; p < kPoints; ++p) {
    for (int a = 0; a < 3; ++a) drift.emplace_back(options.rate, 1.5, deviation[p]);
  }
  std::vector<EmgNoise> emg(kChannels, EmgNoise(options.rate));
  Rng noise(options.seed, kNoiseStream);

  for (int k = 0; k < kExperiments; ++k) {
    const Script& script = recording.scripts[k];
    for (long long i = 0; i < recording.samples[k]; ++i) {
      const long long time = i * 1000 / options.rate;
      const double ms = static_cast<double>(time);

      // Incisal displacement: `distance` along the script's direction.
      const double distance = script.distance.at(ms);
      const double lateral = script.lateral.at(ms);
      const double length = std::sqrt((lateral * lateral + script.vertical * script.vertical) +
                                      script.sagittal * script.sagittal);
      const double ix = distance * (lateral / length);
      const double iy = distance * (script.vertical / length);
      const double iz = distance * (script.sagittal / length);
      // The other points sit on the same rigid jaw. The condyles' midpoint would translate
      // forward by a fraction of the opening and the protrusion, down on opening and on a lateral
      // shift; the jaw turns so that the line from that midpoint to the incisal point points at
      // the incisal point's new place, and every point follows that turn and the incisal shift,
      // so the distances between the points stay as they are.
      const double opening = iy < 0 ? -iy : 0;
      const double protrusion = iz > 0 ? iz : 0;
      const double forward = 0.22 * opening + 0.9 * protrusion;
      const double shift = ix > 0 ? ix : -ix;
      const double hinge_move[3] = {0.3 * ix, -0.10 * opening - 0.075 * shift,
                                    forward + 0.225 * shift};
      const Turn turn = turn_towards(recording.subject, {ix, iy, iz}, hinge_move);
      double move[kPoints][3];
      for (int p = 0; p < kPoints; ++p) turn.displacement(s, p, {ix, iy, iz}, move[p]);

      line.clear();
      line.integer(time);
      for (int p = 0; p < kPoints; ++p) {
        for (int a = 0; a < 3; ++a) {
          const double value = move[p][a] + drift[p * 3 + a].next(noise.noise());
          if (p >= points) continue;
          line.text(" ");
          line.fixed(s.reference[p][a] + rounded(value, 100), 2);
        }
      }
      const bool task = ms >= script.task_start && ms < script.task_end;
      line.text(task ? " 1 0 0" : " 0 0 0");
      for (int c = 0; c < kChannels; ++c) {
        const double activity = script.envelope[c].at(ms) * emg[c].next(noise.noise());
        const double raw = activity + s.baseline[c] * noise.noise();
        if (c >= channels) continue;
        line.text(" ");
        line.fixed(rounded(raw, 10), 1);
      }
      line.text("\n");
      if (!line.write(out)) return false;
    }
  }
  return std::ferror(out) == 0;
}

bool write_truth(std::FILE* out, const Recording& recording) {
  for (int k = kFirstChewing; k < kExperiments; ++k) {
    std::fprintf(out, "%d %d\n", k + 1, recording.scripts[k].cycles);
  }
  return std::ferror(out) == 0;
}
