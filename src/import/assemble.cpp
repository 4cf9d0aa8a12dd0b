#include "import/assemble.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "import/delimited.h"
#include "import/edf.h"
#include "protocol/protocol.h"
#include "recording/store.h"

namespace {

// Above one sample a ms two samples would share a time stamp, and a second 0 would open an
// experiment.
constexpr double kHighestRate = kMsPerSecond;
// Times closer than this (s) are one instant: rows on the same grid are taken, not interpolated.
constexpr double kSameInstant = 1e-9;
// A sample's fraction an instant may miss the time base by and still fall on its sample.
constexpr double kGridSlack = 1e-6;
// Rates this close (relative) are one rate.
constexpr double kSameRate = 1e-9;
// Points on one jaw lie this far apart (mm); calibrated points outside suggest another unit.
constexpr double kNearestPoints_mm = 10;
constexpr double kFarthestPoints_mm = 400;
// A file's samples on the time base are counted before they are held: past this many times the
// evaluator's limit the import stops there (samples before the first experiment are not written,
// so one file may hold more than the limit).
constexpr std::size_t kGridLimit = 4;

std::string seconds(double s) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6g s", s);
  return text;
}
std::string hertz(double rate) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6g Hz", rate);
  return text;
}

// One positions file (with its EMG file, if any) on the output time base.
struct Segment {
  std::string file;
  double rate = 0;
  std::size_t rows = 0;
  std::vector<double> positions, aux, emg;
  std::vector<std::size_t> starts;  // experiment starts the inputs mark, in rows
};

// Linear interpolation of columns sampled at `times` (rising), instant by instant.
class Interpolator {
 public:
  explicit Interpolator(const std::vector<double>& times) : times_(times) {}
  // Sets the place of instant `t` (which does not fall); false beyond the last row.
  bool at(double t) {
    while (j_ + 1 < times_.size() && times_[j_ + 1] <= t + kSameInstant) ++j_;
    exact_ = std::fabs(t - times_[j_]) <= kSameInstant;
    if (!exact_ && (t < times_[j_] || j_ + 1 >= times_.size())) return false;
    if (!exact_) weight_ = (t - times_[j_]) / (times_[j_ + 1] - times_[j_]);
    return true;
  }
  double value(const std::vector<double>& column) const {
    if (exact_) return column[j_];
    const double a = column[j_], b = column[j_ + 1];
    return a + (b - a) * weight_;
  }

 private:
  const std::vector<double>& times_;
  std::size_t j_ = 0;
  bool exact_ = true;
  double weight_ = 0;
};

Segment read_segment(const Mapping& m, const std::string& positions, const std::string& emg) {
  Segment seg;
  seg.file = positions;
  const int points = m.five_points() ? kImportPoints : 3;
  const bool emg_columns = emg.empty() && !m.channel[0].empty();
  const int channels = m.channel[0].empty() ? 0 : m.channels();
  std::vector<WantedColumn> wanted;
  const char* axes[] = {"x", "y", "z"};
  for (int p = 0; p < points; ++p)
    for (int a = 0; a < 3; ++a)
      wanted.push_back({m.point[p][a], std::string(kMappingPointKeys[p]) + " " + axes[a]});
  const std::size_t aux_at = wanted.size();
  for (std::size_t a = 0; a < m.aux.size(); ++a)
    wanted.push_back({m.aux[a], "aux " + std::to_string(a + 1)});
  const std::size_t emg_at = wanted.size();
  if (emg_columns)
    for (int c = 0; c < channels; ++c) wanted.push_back({m.channel[c], kMappingChannelKeys[c]});
  const std::size_t time_at = wanted.size();
  if (!m.time.empty()) wanted.push_back({m.time, "time"});
  const std::size_t experiment_at = wanted.size();
  if (m.experiments == ExperimentMode::column)
    wanted.push_back({m.experiment_column, "experiment", true});
  const Table table = read_delimited(positions, m, wanted);
  const std::size_t n = table.rows();

  // The positions' instants, s from the first EMG sample (or from their first row).
  std::vector<double> times(n);
  double rate = m.rate;
  if (!m.time.empty()) {
    const std::vector<double>& t = table.numbers[time_at];
    for (std::size_t j = 0; j < n; ++j) {
      times[j] = (t[j] - t[0]) * m.time_scale + m.offset;
      if (j > 0 && !(times[j] > times[j - 1]))
        throw ImportError(positions + ":" + std::to_string(table.lines[j]) + ": time '" + m.time +
                          "' does not rise");
    }
    if (rate <= 0) {
      if (n < 2) throw ImportError(positions + ": one row gives no rate: set 'rate'");
      rate = static_cast<double>(n - 1) / (times[n - 1] - times[0]);
      // Steps of 0.01 s that sum to 0.0299999 still mean 100 Hz.
      if (std::fabs(rate - std::round(rate)) < kSameRate * rate) rate = std::round(rate);
    }
  } else {
    for (std::size_t j = 0; j < n; ++j) times[j] = static_cast<double>(j) / rate + m.offset;
  }

  EdfChannels edf;
  if (!emg.empty()) {
    std::vector<std::string> labels, roles;
    for (int c = 0; c < channels; ++c) {
      labels.push_back(m.channel[c]);
      roles.push_back(kMappingChannelKeys[c]);
    }
    edf = read_edf(emg, labels, roles);
    if (rate > edf.rate * (1 + kSameRate))
      throw ImportError(positions + ": rates cannot be aligned: positions at " + hertz(rate) +
                        ", EMG in " + emg + " at " + hertz(edf.rate) +
                        ": the EMG's rate is the time base and must be the highest");
    if (times[0] > kSameInstant)
      throw ImportError(positions + ": the positions start " + seconds(times[0]) +
                        " after the EMG (offset): its first samples would have none");
    rate = edf.rate;
  }
  if (rate > kHighestRate)
    throw ImportError((emg.empty() ? positions : emg) +
                      ": rates cannot be aligned: " + hertz(rate) + " is above " +
                      hertz(kHighestRate) + ", and time stamps are whole ms");
  seg.rate = rate;

  // Every instant of the time base that the positions (and the EMG) cover.
  std::size_t rows = static_cast<std::size_t>(std::floor(times[n - 1] * rate + kGridSlack)) + 1;
  if (emg.empty()) {
    rows = static_cast<std::size_t>(std::floor((times[n - 1] - times[0]) * rate + kGridSlack)) + 1;
    for (double& t : times) t -= m.offset;
  } else if (!edf.values.empty()) {
    rows = std::min(rows, edf.values[0].size());
  }
  if (rows > kGridLimit * static_cast<std::size_t>(kMaxEntries))
    throw ImportError(positions + ": too many samples: " + std::to_string(rows) + " at " +
                      hertz(rate) + ", the evaluator reads at most " + std::to_string(kMaxEntries));
  seg.rows = rows;
  Interpolator place(times);
  const std::size_t position_fields = 3 * static_cast<std::size_t>(points);
  seg.positions.reserve(rows * position_fields);
  for (std::size_t i = 0; i < rows; ++i) {
    if (!place.at(static_cast<double>(i) / rate)) {
      seg.rows = rows = i;
      break;
    }
    for (std::size_t k = 0; k < position_fields; ++k)
      seg.positions.push_back(convert(place.value(table.numbers[k]), m.position_factor));
    for (std::size_t a = 0; a < m.aux.size(); ++a)
      seg.aux.push_back(place.value(table.numbers[aux_at + a]));
    if (emg_columns)
      for (int c = 0; c < channels; ++c)
        seg.emg.push_back(convert(place.value(table.numbers[emg_at + c]), m.emg_factor));
    else if (!emg.empty())
      for (int c = 0; c < channels; ++c) seg.emg.push_back(edf.values[c][i]);
  }

  if (m.experiments == ExperimentMode::annotations) {
    for (const EdfChannels::Annotation& a : edf.annotations) {
      if (a.text.compare(0, m.annotation_text.size(), m.annotation_text) != 0) continue;
      const double at = std::round(a.onset * rate);
      if (at < 0 || at >= static_cast<double>(rows))
        throw ImportError(emg + ": the experiment list does not fit: annotation '" + a.text +
                          "' at " + seconds(a.onset) + " lies outside the " +
                          seconds(static_cast<double>(rows) / rate) + " imported");
      seg.starts.push_back(static_cast<std::size_t>(at));
    }
    if (seg.starts.empty())
      throw ImportError(
          emg + ": no annotation" +
          (m.annotation_text.empty() ? "" : " beginning '" + m.annotation_text + "'") +
          " to start an experiment");
    std::sort(seg.starts.begin(), seg.starts.end());
  } else if (m.experiments == ExperimentMode::column) {
    const std::vector<std::string>& marks = table.texts[experiment_at];
    for (std::size_t j = 0; j < n; ++j) {
      if (j > 0 && marks[j] == marks[j - 1]) continue;
      const double at = std::ceil(times[j] * rate - kGridSlack);
      if (at < static_cast<double>(rows)) seg.starts.push_back(static_cast<std::size_t>(at));
    }
  } else {
    seg.starts.push_back(0);
  }
  return seg;
}

double distance(const double* a, const double* b) {
  const double dx = a[0] - b[0], dy = a[1] - b[1], dz = a[2] - b[2];
  return std::sqrt(dx * dx + dy * dy + dz * dz);
}

}  // namespace

std::string input_path(const Mapping& mapping, const std::string& name) {
  if (!name.empty() && name[0] == '/') return name;
  const std::size_t slash = mapping.path.rfind('/');
  return slash == std::string::npos ? name : mapping.path.substr(0, slash + 1) + name;
}

Imported assemble(const Mapping& m) {
  Imported r;
  r.points = m.five_points() ? kImportPoints : 3;
  r.channels = m.channels();
  r.has_aux = !m.aux.empty();
  const int mapped_channels = m.channel[0].empty() ? 0 : m.channels();
  for (std::size_t f = 0; f < m.positions.size(); ++f) {
    const std::string emg = m.emg.empty() ? "" : input_path(m, m.emg[f]);
    const Segment seg = read_segment(m, input_path(m, m.positions[f]), emg);
    if (f > 0 && seg.rate != r.rate)
      throw ImportError(seg.file + ": rates cannot be aligned: " + hertz(seg.rate) + ", " +
                        m.positions[0] + " " + hertz(r.rate));
    r.rate = seg.rate;
    for (std::size_t s : seg.starts) r.starts.push_back(r.rows + s);
    r.positions.insert(r.positions.end(), seg.positions.begin(), seg.positions.end());
    r.aux.insert(r.aux.end(), seg.aux.begin(), seg.aux.end());
    if (mapped_channels > 0) {
      r.emg.insert(r.emg.end(), seg.emg.begin(), seg.emg.end());
    } else {
      r.emg.resize(r.emg.size() + seg.rows * static_cast<std::size_t>(r.channels), 0.0);
    }
    r.rows += seg.rows;
  }
  const std::string& where = m.path;
  const auto end_text = [&] { return seconds(static_cast<double>(r.rows) / r.rate); };
  if (m.experiments == ExperimentMode::times) {
    r.starts.clear();
    for (double t : m.experiment_times) {
      const double at = std::round(t * r.rate);
      if (at < 0 || at >= static_cast<double>(r.rows))
        throw ImportError(where + ": the experiment list does not fit: " + seconds(t) +
                          " lies outside the recording's " + end_text());
      r.starts.push_back(static_cast<std::size_t>(at));
    }
  }
  for (std::size_t k = 1; k < r.starts.size(); ++k)
    if (r.starts[k] <= r.starts[k - 1])
      throw ImportError(where + ": the experiment list does not fit: experiment " +
                        std::to_string(k + 1) + " starts at " +
                        seconds(static_cast<double>(r.starts[k]) / r.rate) +
                        ", not after experiment " + std::to_string(k) + " at " +
                        seconds(static_cast<double>(r.starts[k - 1]) / r.rate));
  if (r.starts.size() > static_cast<std::size_t>(kMaxTracks))
    throw ImportError(where + ": too many experiments: " + std::to_string(r.starts.size()) +
                      ", the evaluator reads at most " + std::to_string(kMaxTracks));
  if (r.rows == 0 || r.starts.empty()) throw ImportError(where + ": no samples to write");
  if (r.rows - r.starts[0] > static_cast<std::size_t>(kMaxEntries))
    throw ImportError(where + ": too many samples: " + std::to_string(r.rows - r.starts[0]) +
                      ", the evaluator reads at most " + std::to_string(kMaxEntries));

  // The calibration: given values, or positions of the imported samples.
  const std::size_t fields = 3 * static_cast<std::size_t>(r.points);
  r.calibration.assign(fields, 0.0);
  const auto row_at = [&](double t) {
    const double at = std::round(t * r.rate);
    if (at < 0 || at >= static_cast<double>(r.rows))
      throw ImportError(where + ": calibration at " + seconds(t) +
                        " lies outside the recording's " + end_text());
    return static_cast<std::size_t>(at);
  };
  if (m.calibration == CalibrationMode::values) {
    for (std::size_t k = 0; k < fields; ++k)
      r.calibration[k] = convert(m.calibration_values[k], m.position_factor);
  } else if (m.calibration == CalibrationMode::rest) {
    const std::size_t from = row_at(m.calibration_values[0]), to = row_at(m.calibration_values[1]);
    for (std::size_t k = 0; k < fields; ++k) {
      long double sum = 0;
      for (std::size_t i = from; i <= to; ++i) sum += r.positions[i * fields + k];
      r.calibration[k] = static_cast<double>(sum / static_cast<long double>(to - from + 1));
    }
  } else {
    const std::size_t row =
        m.calibration == CalibrationMode::time ? row_at(m.calibration_values[0]) : r.starts[0];
    std::copy_n(r.positions.begin() + static_cast<std::ptrdiff_t>(row * fields), fields,
                r.calibration.begin());
  }

  double farthest = 0;
  for (int p = 0; p < r.points; ++p)
    for (int q = 0; q < p; ++q)
      farthest = std::max(farthest, distance(&r.calibration[3 * p], &r.calibration[3 * q]));
  if (!(farthest >= kNearestPoints_mm && farthest <= kFarthestPoints_mm)) {
    char text[256];
    std::snprintf(text, sizeof text,
                  "positions do not look like mm: the calibrated points lie at most %.4g mm "
                  "apart, points on one jaw %g to %g mm; is position_unit right?",
                  farthest, kNearestPoints_mm, kFarthestPoints_mm);
    r.warnings.push_back(text);
  }
  return r;
}
