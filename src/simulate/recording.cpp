#include "recording.h"

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

// Vectors in mm. Sums of three products are added left to right, so every machine rounds alike.
struct Vec {
  double x = 0, y = 0, z = 0;
};
Vec operator+(Vec a, Vec b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec operator-(Vec a, Vec b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec operator*(double f, Vec a) { return {f * a.x, f * a.y, f * a.z}; }
double dot(Vec a, Vec b) { return (a.x * b.x + a.y * b.y) + a.z * b.z; }
Vec cross(Vec a, Vec b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
Vec unit(Vec a) {
  const double length = std::sqrt(dot(a, a));
  return {a.x / length, a.y / length, a.z / length};
}
Vec centi(const long long (&p)[3]) {  // 1/100 mm to mm
  return {static_cast<double>(p[0]) / 100, static_cast<double>(p[1]) / 100,
          static_cast<double>(p[2]) / 100};
}

// A rotation, as the rows of its matrix.
struct Rotation {
  Vec row[3];
  Vec operator()(Vec v) const { return {dot(row[0], v), dot(row[1], v), dot(row[2], v)}; }
  Rotation operator*(const Rotation& o) const {  // this after `o`
    const Vec column[3] = {{o.row[0].x, o.row[1].x, o.row[2].x},
                           {o.row[0].y, o.row[1].y, o.row[2].y},
                           {o.row[0].z, o.row[1].z, o.row[2].z}};
    Rotation r;
    for (int i = 0; i < 3; ++i) {
      r.row[i] = {dot(row[i], column[0]), dot(row[i], column[1]), dot(row[i], column[2])};
    }
    return r;
  }
};

// Rotations by the angle with sine `s` and cosine `c` about the first, second and third axis,
// counter-clockwise seen from the axis' positive end.
Rotation about_first(double c, double s) { return {{{1, 0, 0}, {0, c, -s}, {0, s, c}}}; }
Rotation about_second(double c, double s) { return {{{c, 0, s}, {0, 1, 0}, {-s, 0, c}}}; }
Rotation about_third(double c, double s) { return {{{c, -s, 0}, {s, c, 0}, {0, 0, 1}}}; }
double cosine_of(double sine) { return std::sqrt(1 - sine * sine); }

// The subject's jaw frame: the lateral axis through the condyle points (+ toward the left), the
// vertical axis perpendicular to it in the plane of the lateral axis and the room's vertical
// (+ up), the sagittal axis completing a right-handed frame (+ forward). Scripts give directions
// in it; with the condyle points level and side by side it is the room's frame.
struct JawFrame {
  Vec lateral, vertical, sagittal;
  explicit JawFrame(const Subject& s) {
    lateral = unit(centi(s.reference[1]) - centi(s.reference[0]));
    const Vec up{0, 1, 0};
    vertical = unit(up - dot(up, lateral) * lateral);
    sagittal = cross(lateral, vertical);
  }
  Vec in_frame(Vec v) const { return {dot(v, lateral), dot(v, vertical), dot(v, sagittal)}; }
  Vec in_room(Vec v) const { return (v.x * lateral + v.y * vertical) + v.z * sagittal; }
};

// The mandible moves as one rigid body: a point at `p` relative to the incisal reference point
// (jaw frame) goes to R p + D, where D is the incisal displacement the script gives. R opens
// about the hinge axis (parallel to the lateral axis) by the angle that keeps the hinge, the
// midpoint of the condyle points, on the line from the displaced incisal point to where the
// hinge was: what is left for the condyles is a glide along that line, the difference of the
// hinge-incisor distances (about 2 mm at 20 mm opening, 12 mm at 50 mm, nothing on a pure
// hinge opening). Then R turns about the vertical axis by the angle that carries the incisal
// point three quarters of its lateral displacement; the last quarter is a sideways shift of the
// whole jaw. This spreads a lateral displacement about evenly over the condyles' sideways shift
// and their forward and backward swing (about half of it for either condyle).
class JawMotion {
 public:
  explicit JawMotion(const Subject& s) {
    const Vec incisal = centi(s.reference[2]);
    const JawFrame frame(s);
    for (int p = 0; p < kPoints; ++p)
      relative_[p] = frame.in_frame(centi(s.reference[p]) - incisal);
    hinge_to_incisal_ = -0.5 * (relative_[0] + relative_[1]);
  }

  // Displacements (jaw frame, mm) of the five points for the incisal displacement `d`.
  void displace(Vec d, const Rotation& noise, Vec (&moved)[kPoints]) const {
    const Vec a = hinge_to_incisal_;
    const double before = std::sqrt(a.y * a.y + a.z * a.z);
    const double b_y = a.y + d.y, b_z = a.z + d.z;
    const double after = std::sqrt(b_y * b_y + b_z * b_z);
    const double c = (a.y * b_y + a.z * b_z) / (before * after);
    const double s = (a.y * b_z - a.z * b_y) / (before * after);
    const double reach = s * a.y + c * a.z;  // forward, hinge to incisal point after opening
    const double turn = clamp(kTurnedShare * d.x / reach, -0.3, 0.3);
    const Rotation rotation = noise * (about_second(cosine_of(turn), turn) * about_first(c, s));
    for (int p = 0; p < kPoints; ++p) moved[p] = (rotation(relative_[p]) - relative_[p]) + d;
  }

 private:
  static constexpr double kTurnedShare = 0.75;
  static double clamp(double v, double low, double high) {
    return v < low ? low : v > high ? high : v;
  }
  Vec relative_[kPoints];  // reference positions relative to the incisal point
  Vec hinge_to_incisal_;
};

// The incisal displacement the plan gives at `ms`: `distance` along the script's direction, in
// the jaw frame, mm.
Vec planned_incisal(const Script& script, double ms) {
  const double distance = script.distance.at(ms);
  const double lateral = script.lateral.at(ms);
  const double length = std::sqrt((lateral * lateral + script.vertical * script.vertical) +
                                  script.sagittal * script.sagittal);
  return {distance * (lateral / length), distance * (script.vertical / length),
          distance * (script.sagittal / length)};
}

int points_of(Form form) { return form == Form::five_point ? 5 : 3; }
int channels_of(Form form) {
  return form == Form::three_point_4ch || form == Form::jaw_only ? 4 : 2;
}

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
  r.rate = options.rate;
  r.emg = options.form != Form::jaw_only;
  r.channels = channels_of(options.form);
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

bool write_recording(std::FILE* out, const SimOptions& options, const Recording& recording,
                     WrittenIncisal* incisal) {
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

  // Sensor noise: the tracker follows the mandible as one body, so its error is a small
  // displacement of the whole body (mm, the incisal point's) and a small turn about the incisal
  // point (sine of the angle about each axis): 0.012 mm at the incisal point, 0.017 mm or so at
  // the condyle points 11 cm behind it. Every sample draws 15 numbers for it, 6 of them used,
  // whatever the form.
  constexpr int kDraws = 15, kTurn = 0, kShift = 6;
  std::vector<Drift> drift;
  for (int a = 0; a < 3; ++a) drift.emplace_back(options.rate, 1.5, 0.00015);
  for (int a = 0; a < 3; ++a) drift.emplace_back(options.rate, 1.5, 0.012);
  std::vector<EmgNoise> emg(kChannels, EmgNoise(options.rate));
  Rng noise(options.seed, kNoiseStream);
  const JawFrame frame(s);
  const JawMotion jaw(s);
  if (incisal != nullptr) incisal->experiments.assign(kExperiments, {});

  for (int k = 0; k < kExperiments; ++k) {
    const Script& script = recording.scripts[k];
    const bool keep = incisal != nullptr && (k == 2 || k == 3 || k >= kFirstChewing);
    if (keep) incisal->experiments[k].reserve(static_cast<std::size_t>(recording.samples[k]));
    for (long long i = 0; i < recording.samples[k]; ++i) {
      const long long time = i * 1000 / options.rate;
      const double ms = static_cast<double>(time);

      const Vec d = planned_incisal(script, ms);
      double drawn[kDraws];
      for (double& value : drawn) value = noise.noise();
      double turn[3], shift[3];
      for (int a = 0; a < 3; ++a) {
        turn[a] = drift[a].next(drawn[kTurn + a]);
        shift[a] = drift[3 + a].next(drawn[kShift + a]);
      }
      const Rotation error =
          about_third(cosine_of(turn[2]), turn[2]) *
          (about_second(cosine_of(turn[1]), turn[1]) * about_first(cosine_of(turn[0]), turn[0]));
      Vec moved[kPoints];
      jaw.displace(d, error, moved);

      line.clear();
      line.integer(time);
      for (int p = 0; p < points; ++p) {
        const Vec room = frame.in_room(moved[p]);
        const double value[3] = {room.x + shift[0], room.y + shift[1], room.z + shift[2]};
        for (int a = 0; a < 3; ++a) {
          const long long written = s.reference[p][a] + rounded(value[a], 100);
          if (p == 2 && keep) {
            if (a == 0) incisal->experiments[k].emplace_back();
            incisal->experiments[k].back()[a] = static_cast<std::int32_t>(written);
          }
          line.text(" ");
          line.fixed(written, 2);
        }
      }
      const bool task = ms >= script.task_start && ms < script.task_end;
      line.text(task ? " 1 0 0" : " 0 0 0");
      const bool plateau = incisal != nullptr && k < 2 &&
                           script.plateau_end > script.plateau_start &&
                           ms >= script.plateau_start && ms <= script.plateau_end;
      if (plateau) ++incisal->clench_samples[k];
      for (int c = 0; c < kChannels; ++c) {
        const double activity = script.envelope[c].at(ms) * emg[c].next(noise.noise());
        const double raw = activity + s.baseline[c] * noise.noise();
        if (c >= channels) continue;
        if (!recording.emg) {
          line.text(" 0");  // drawn all the same, so the positions match the other forms
          continue;
        }
        const long long written = rounded(raw, 10);
        if (plateau) incisal->clench_squares[k][c] += (written / 10.0) * (written / 10.0);
        line.text(" ");
        line.fixed(written, 1);
      }
      line.text("\n");
      if (!line.write(out)) return false;
    }
  }
  return std::ferror(out) == 0;
}

namespace {

using Written = std::vector<std::array<std::int32_t, 3>>;

// Squared incisal distance from the calibration, (1/100 mm)^2: exact, so ties are ties.
long long squared_distance(const std::array<std::int32_t, 3>& p,
                           const long long (&calibration)[3]) {
  long long sum = 0;
  for (int a = 0; a < 3; ++a) sum += (p[a] - calibration[a]) * (p[a] - calibration[a]);
  return sum;
}

// `to` - `from`, both in 1/100 mm, in mm.
template <typename To, typename From>
Vec centi_difference(const To& to, const From& from) {
  const long long d[3] = {to[0] - from[0], to[1] - from[1], to[2] - from[2]};
  return centi(d);
}

// The opening axis an evaluator builds from the file: the incisal displacement at the largest
// incisal distance of the maximal openings (the last of equal ones), without its part along
// `lateral`. Without any opening there (a recording too short for one) the jaw's downward axis.
Vec opening_axis(const WrittenIncisal& incisal, const Subject& s, Vec lateral) {
  long long widest = 0;
  Vec opening{0, 0, 0};
  for (int k : {2, 3}) {
    for (const auto& p : incisal.experiments[k]) {
      const long long sq = squared_distance(p, s.reference[2]);
      if (sq >= widest) {
        widest = sq;
        opening = centi_difference(p, s.reference[2]);
      }
    }
  }
  opening = opening - dot(opening, lateral) * lateral;
  if (dot(opening, opening) == 0) return -1.0 * JawFrame(s).vertical;
  return unit(opening);
}

// The last sample at or before `ms` of an experiment of `count` samples at `rate` Hz; sample i
// has the time stamp i * 1000 / rate (integer division).
std::size_t sample_at(double ms, int rate, std::size_t count) {
  const long long whole = static_cast<long long>(std::floor(ms));
  const long long i = ((whole + 1) * rate - 1) / 1000;
  return static_cast<std::size_t>(i) < count ? static_cast<std::size_t>(i) : count - 1;
}

// One line per border movement experiment: its extent in the evaluator's frame (x along
// `lateral`, y along `opening`, z along their cross product, from the calibrated incisal point),
// from the plan at the written samples' time stamps. The written incisal point is the plan's
// plus the tracker's shift (about 0.012 mm per axis; it moves the whole body about the incisal
// point, so only the shift reaches it) and the rounding to 0.01 mm, so at every sample each
// written coordinate differs from the plan's by a few hundredths of a mm at most; so does
// every extreme below, and the values at the widest opening, where x and y hardly change from
// sample to sample.
bool write_border_movements(std::FILE* out, const Recording& recording, Vec lateral, Vec opening) {
  const JawFrame frame(recording.subject);
  const Vec forward = cross(lateral, opening);
  Line line;
  for (int k = 0; k < kExperiments; ++k) {
    const char* role = border_role(k);
    if (role == nullptr) continue;
    const std::string name = role;
    std::vector<Vec> track;  // x, y, z per sample
    for (long long i = 0; i < recording.samples[k]; ++i) {
      const double ms = static_cast<double>(i * 1000 / recording.rate);
      const Vec p = frame.in_room(planned_incisal(recording.scripts[k], ms));
      track.push_back({dot(p, lateral), dot(p, opening), dot(p, forward)});
    }
    // The x of largest magnitude among the samples before `end` (the first of equal ones).
    const auto widest_x = [&](std::size_t end) {
      std::size_t best = 0;
      for (std::size_t i = 1; i < end; ++i) {
        if (std::fabs(track[i].x) > std::fabs(track[best].x)) best = i;
      }
      return track[best].x;
    };
    std::size_t top = 0;  // the first sample of the largest y
    double right = track[0].x, left = track[0].x, ahead = track[0].z;
    for (std::size_t i = 1; i < track.size(); ++i) {
      if (track[i].y > track[top].y) top = i;
      right = std::fmax(right, track[i].x);
      left = std::fmin(left, track[i].x);
      ahead = std::fmax(ahead, track[i].z);
    }
    const double side = name == "laterotrusion_right"  ? right
                        : name == "laterotrusion_left" ? left
                                                       : widest_x(track.size());
    line.clear();
    line.text("movement ");
    line.integer(k + 1);
    line.text(" ");
    line.text(role);
    for (double mm : {track[top].y, side, ahead}) {
      line.text(" ");
      line.fixed(rounded(mm, 100), 2);
    }
    if (name == "max_opening") {
      for (double mm : {widest_x(top + 1), track[top].x}) {
        line.text(" ");
        line.fixed(rounded(mm, 100), 2);
      }
    } else {
      line.text(" - -");
    }
    line.text("\n");
    if (!line.write(out)) return false;
  }
  return true;
}

}  // namespace

bool write_truth(std::FILE* out, const Recording& recording, const WrittenIncisal& incisal) {
  // Without EMG no cycle is confirmed.
  for (int k = kFirstChewing; k < kExperiments; ++k) {
    std::fprintf(out, "%d %d\n", k + 1, recording.emg ? recording.scripts[k].cycles : 0);
  }
  // One line per stroke, measured on the written incisal point as an evaluator sees it.
  const Subject& s = recording.subject;
  const Vec lateral = unit(centi(s.reference[0]) - centi(s.reference[1]));  // left to right
  const Vec opening = opening_axis(incisal, s, lateral);
  Line line;
  for (int k = kFirstChewing; k < kExperiments; ++k) {
    const Written& track = incisal.experiments[k];
    for (const Stroke& stroke : recording.scripts[k].strokes) {
      // Where the plan's rise begins: a small movement or the tracker's noise before it, however
      // it drifts, is no part of the stroke's opening.
      const std::size_t start = sample_at(stroke.open_start, recording.rate, track.size());
      const std::size_t occlusion = sample_at(stroke.occlusion, recording.rate, track.size());
      std::size_t peak = start;
      for (std::size_t i = start; i <= occlusion; ++i) {
        if (squared_distance(track[i], s.reference[2]) >=
            squared_distance(track[peak], s.reference[2])) {
          peak = i;
        }
      }
      const double vertical = dot(centi_difference(track[peak], track[start]), opening);
      const auto time = [&](std::size_t i) {
        return static_cast<long long>(i) * 1000 / recording.rate;
      };
      static const char* const kShapes[] = {" single\n", " double\n", " held\n"};
      line.clear();
      line.text("stroke ");
      line.integer(k + 1);
      for (std::size_t i : {start, peak, occlusion}) {
        line.text(" ");
        line.integer(time(i));
      }
      line.text(stroke.left ? " L " : " R ");
      line.fixed(rounded(vertical, 100), 2);
      line.text(stroke.burst ? " chew" : " idle");
      line.text(stroke.reversed ? " reversed" : " normal");
      line.text(kShapes[static_cast<int>(stroke.shape)]);
      if (!line.write(out)) return false;
    }
  }
  if (!write_border_movements(out, recording, lateral, opening)) return false;
  // The clenches' levels as written: the RMS of each channel's raw values over the plateau (the
  // planned level, give or take the band-limited noise of a few seconds: about 1.5 % over 8 s);
  // the planned level where the plateau holds no sample.
  for (int k = 0; k < 2; ++k) {
    line.clear();
    line.text("clench ");
    line.integer(k + 1);
    for (int c = 0; c < kChannels; ++c) {
      if (!recording.emg || c >= recording.channels) {
        line.text(" -");
        continue;
      }
      line.text(" ");
      const long long n = incisal.clench_samples[k];  // none in a recording too short
      const double rms =
          n > 0 ? std::sqrt(incisal.clench_squares[k][c] / n) : recording.scripts[k].plateau[c];
      line.fixed(rounded(rms, 100), 2);
    }
    line.text("\n");
    if (!line.write(out)) return false;
  }
  return std::ferror(out) == 0;
}
