#include "study/check_page.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "analysis/sample_view.h"
#include "io/safe_file.h"
#include "protocol/protocol.h"
#include "study/html.h"

namespace {

const char* const kChannelNames[kChannels] = {"M. masseter right", "M. masseter left",
                                              "M. temporalis right", "M. temporalis left"};

// Chart geometry in the SVG's own units, which the page scales to the window's width: the plot
// area is kPlotWidth columns wide. An EMG plot stays at least 120 px high down to a 1000 px
// window (140 units at 968/1082 of their size).
constexpr long double kLeft = 70, kRight = 12, kTop = 12, kBottom = 34;
constexpr int kPlotWidth = 1000;
constexpr long double kDistanceHeight = 220, kEmgHeight = kTop + 140 + kBottom;

// A value as the report prints it.
std::string number_text(long double value) { return fixed(value, 2); }

// Text for HTML: the header value without its line end and surrounding blanks, escaped.
std::string escaped(const std::string& raw) {
  const std::size_t first = raw.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return "";
  return html_escaped(raw.substr(first, raw.find_last_not_of(" \t\r\n") - first + 1));
}

// The legend's sample of an overlay: a span styled as the overlay is drawn, holding `mark` (a
// marker's shape or a bar's label) where the overlay has one.
std::string key(const std::string& css_class, const std::string& text,
                const std::string& mark = "") {
  return "<span class=\"entry\"><span class=\"key " + css_class + "\">" + mark + "</span>" + text +
         "</span> ";
}

// Curves are drawn at the resolution of the pixels they are shown on: a chart's plot has 1000
// columns, which the page shows 0.9 to 1.5 pixels wide, in units of the same size, and a point
// within half a unit of the line drawn without it is left out.
constexpr double kCurveTolerance = 0.5;
// A clench's traces run through every sample of noisy smoothed EMG, where the points a unit off
// the line are most of the page's bytes and the eye tells no difference: they go too.
constexpr double kTraceTolerance = 1;

// One chart of samples first..last: time (ms from the first one's time stamp) across, a value up.
class Chart {
 public:
  Chart(const SampleView& view, int first, int last, long double height, long double top_value)
      : view_(view), f_(first), l_(last), height_(height) {
    t0_ = static_cast<long double>(view_.time[f_]);
    t1_ = static_cast<long double>(view_.time[l_]);
    if (!(t1_ > t0_)) t1_ = t0_ + 1;
    top_ = top_value > 0 && std::isfinite(top_value) ? top_value * 1.05L : 1;
    columns_per_ms_ = static_cast<double>(kPlotWidth / (t1_ - t0_));
  }

  long double x(long double ms) const { return kLeft + (ms - t0_) / (t1_ - t0_) * kPlotWidth; }
  long double x_of(int i) const { return kLeft + column_of(i); }
  long double y(long double v) const {
    long double h = height_ - kTop - kBottom;
    long double clipped = v < 0 ? 0 : v > top_ ? top_ : v;
    return kTop + h - clipped / top_ * h;
  }
  long double width() const { return kLeft + kPlotWidth + kRight; }

  // Opens the svg and draws both axes with their ticks and labels.
  std::string open(const std::string& css_class, const std::string& y_label) const {
    std::string s = "<svg class=\"chart " + css_class + "\" viewBox=\"0 0 " + px(width()) + " " +
                    px(height_) + "\">\n";
    const long double bottom = height_ - kBottom;
    // Both axes and their ticks as one path, the labels beside the ticks.
    std::string ticks = "M" + px(kLeft) + " " + px(kTop) + "V" + px(bottom) + "H" +
                        px(kLeft + kPlotWidth),
                labels;
    const long double ystep = tick_step(top_);
    for (long double v = 0; v <= top_; v += ystep) {
      ticks += "M" + px(kLeft - 4) + " " + px(y(v)) + "h4";
      labels += "<text x=\"" + px(kLeft - 6) + "\" y=\"" + px(y(v) + 4) +
                "\" text-anchor=\"end\">" + short_number(v) + "</text>";
    }
    const long double seconds = (t1_ - t0_) / 1000;
    const long double xstep = tick_step(seconds);
    for (long double v = 0; v <= seconds; v += xstep) {
      const long double at = x(t0_ + v * 1000);
      ticks += "M" + px(at) + " " + px(bottom) + "v4";
      labels += "<text x=\"" + px(at) + "\" y=\"" + px(bottom + 16) + "\" text-anchor=\"middle\">" +
                short_number(v) + "</text>";
    }
    s += "<g class=\"axis\"><path d=\"" + ticks + "\"/>" + labels;
    s += "<text class=\"label\" x=\"" + px(kLeft + kPlotWidth) + "\" y=\"" + px(height_ - 4) +
         "\" text-anchor=\"end\">time (s)</text>";
    s += "<text class=\"label\" transform=\"translate(14 " + px(kTop + (bottom - kTop) / 2) +
         ") rotate(-90)\" text-anchor=\"middle\">" + y_label + "</text></g>\n";
    return s;
  }

  // A band over samples a..b across the plot's height.
  std::string band(const std::string& css_class, int a, int b, const std::string& title) const {
    return rect(css_class, a, b, kTop, height_ - kTop - kBottom, title);
  }

  // Bands of one kind, which their group's class styles, each over samples a..b.
  std::string bands(const std::string& css_class,
                    const std::vector<std::pair<std::pair<int, int>, std::string>>& spans) const {
    if (spans.empty()) return "";
    std::string s = "<g class=\"" + css_class + "\" transform=\"translate(0 " + px(kTop) + ")\">";
    for (const auto& [span, title] : spans)
      s += rect("", span.first, span.second, 0, height_ - kTop - kBottom, title);
    return s + "</g>\n";
  }

  // A bar over samples a..b along the plot's top edge, named by `label` beside it: a window
  // marked this way leaves the bands under it in their own colour.
  std::string bar(const std::string& css_class, int a, int b, const std::string& label,
                  const std::string& title) const {
    const long double x1 = x_of(a), x2 = x_of(b);
    // Beside the bar's right end, or left of its start where the plot ends soon after.
    const bool after = x2 + 30 < kLeft + kPlotWidth;
    return rect(css_class, a, b, kTop, 8, title) + "<text class=\"bar-label\" x=\"" +
           px(after ? x2 + 3 : x1 - 3) + "\" y=\"" + px(kTop + 8) + "\"" +
           (after ? "" : " text-anchor=\"end\"") + ">" + label + "</text>\n";
  }

  std::string level(const std::string& css_class, long double v, const std::string& label) const {
    return "<line class=\"" + css_class + "\" x1=\"" + px(kLeft) + "\" y1=\"" + px(y(v)) +
           "\" x2=\"" + px(kLeft + kPlotWidth) + "\" y2=\"" + px(y(v)) + "\"><title>" + label +
           "</title></line>\n";
  }

  // The signal reduced to the chart's pixel columns: each column holding samples covers its
  // smallest to its largest value, so no peak or turning point is lost (min/max decimation).
  template <typename Value>
  std::string signal(Value&& value_at) const {
    struct Column {
      long double low, high;
      bool used = false;
    };
    std::vector<Column> columns(kPlotWidth);
    for (int i = f_; i <= l_; ++i) {
      const long double v = value_at(i);
      if (!std::isfinite(v)) continue;
      const double column = std::floor(column_of(i));
      Column& c = columns[column < 0             ? 0
                          : column >= kPlotWidth ? kPlotWidth - 1
                                                 : static_cast<int>(column)];
      if (!c.used || v < c.low) c.low = v;
      if (!c.used || v > c.high) c.high = v;
      c.used = true;
    }
    // The columns' largest values from left to right, then their smallest back: the outline of
    // the area their spans cover, filled.
    std::vector<PathPoint> upper, lower;
    for (int c = 0; c < kPlotWidth; ++c) {
      const Column& column = columns[c];
      if (!column.used) continue;
      const double at = static_cast<double>(kLeft) + c + 0.5;
      upper.push_back({at, static_cast<double>(y(column.high))});
      lower.push_back({at, static_cast<double>(y(column.low))});
    }
    upper = simplified(upper, kCurveTolerance);
    lower = simplified(lower, kCurveTolerance);
    upper.insert(upper.end(), lower.rbegin(), lower.rend());
    return "<path class=\"signal\" d=\"" + path_data(upper) + "z\"/>\n";
  }

  // The values as a line through every sample, for curves told apart by their dashes.
  template <typename Value>
  std::string line(const std::string& css_class, Value&& value_at) const {
    std::vector<PathPoint> points;
    for (int i = f_; i <= l_; ++i) {
      const long double v = value_at(i);
      if (std::isfinite(v))
        points.push_back({static_cast<double>(x_of(i)), static_cast<double>(y(v))});
    }
    return "<path class=\"" + css_class + "\" d=\"" +
           path_data(simplified(points, kTraceTolerance)) + "\"/>\n";
  }

  // A marker at every sample of the cycles carrying the status bit: a triangle pointing up above
  // the peak of an opening (max_end), one pointing down below a closing minimum (min_start).
  // Outside the cycles the turning points are the baseline's small wobbles, which would only
  // crowd the chart.
  std::string marks(std::uint8_t bit, const std::string& css_class,
                    const std::vector<CycleResult>& cycles, int* count) const {
    std::string d;
    *count = 0;
    const bool peak = bit == max_end;
    for (const CycleResult& figures : cycles) {
      for (int i = figures.cycle.start; i <= figures.cycle.end && i <= l_; ++i) {
        if (i < f_ || !(view_.cycle_status[i] & bit)) continue;
        ++*count;
        const long double at = y(view_.incisal_dist[i]);
        // In whole units, as the curve the marker sits on.
        d += "M" + std::to_string(std::llround(x_of(i) - 3)) + " " +
             std::to_string(std::llround(peak ? at - 2 : at + 2)) +
             (peak ? "l3-6 3 6z" : "l3 6 3-6z");
      }
    }
    return "<path class=\"mark " + css_class + "\" d=\"" + d + "\"/>\n";
  }

 private:
  // Sample i's distance from the plot's left edge in the chart's units.
  double column_of(int i) const {
    return static_cast<double>(elapsed_value(view_.time[i], view_.time[f_])) * columns_per_ms_;
  }

  std::string rect(const std::string& css_class, int a, int b, long double top, long double height,
                   const std::string& title) const {
    long double x1 = x_of(a), w = x_of(b) - x1;
    if (w < 1) w = 1;
    // A rect of a group, which places its rects, needs neither a class nor y, nor a line of its
    // own: they would make up much of a page with many bursts.
    const bool grouped = css_class.empty();
    std::string s = (grouped ? "<rect" : "<rect class=\"" + css_class + "\"") + " x=\"" + px(x1) +
                    (grouped ? "" : "\" y=\"" + px(top)) + "\" width=\"" + px(w) + "\" height=\"" +
                    px(height) + "\"";
    s += title.empty() ? "/>" : "><title>" + title + "</title></rect>";
    return grouped ? s : s + "\n";
  }

  const SampleView& view_;
  int f_, l_;
  long double height_;
  long double t0_, t1_, top_;
  double columns_per_ms_;
};

std::string row(const std::string& name, const std::string& value) {
  return "<tr><th>" + name + "</th><td>" + value + "</td></tr>\n";
}

// The incisal distance over an experiment's samples; for a chewing trial with its cycles.
std::string distance_chart(const SampleView& view, const ExperimentEvaluation& experiment,
                           const TrialEvaluation* trial, long double threshold) {
  const int first = experiment.first_sample, last = experiment.last_sample;
  long double top = threshold;
  for (int i = first; i <= last; ++i) {
    const long double v = view.incisal_dist[i];
    if (std::isfinite(v) && v > top) top = v;
  }
  const Chart chart(view, first, last, kDistanceHeight, top);
  std::string s = chart.open("distance", "incisal distance (mm)");
  std::string legend = key("signal", "incisal distance");
  if (trial != nullptr) {
    const int confirmed = experiment.chewing_cycles;
    const int rejected = static_cast<int>(trial->cycles.size()) - confirmed;
    int number = 0;
    for (const CycleResult& figures : trial->cycles) {
      const ChewingCycle& cycle = figures.cycle;
      ++number;
      const std::string kind = cycle.confirmed ? "confirmed" : "rejected";
      s += chart.band("cycle " + kind, cycle.start, cycle.end,
                      "cycle " + std::to_string(number) + ", samples " +
                          std::to_string(cycle.start) + " to " + std::to_string(cycle.end) + ", " +
                          number_text(figures.incisal_max) + " mm, " + kind);
    }
    legend += key("confirmed", counted(confirmed, "chewing cycle", "chewing cycles") +
                                   " confirmed by the masseters (filled)") +
              key("rejected",
                  counted(rejected, "cycle", "cycles") + " without masseter activity (outlined)");
  }
  s += chart.level("threshold", threshold, "distance threshold " + number_text(threshold) + " mm");
  s += chart.signal([&view](int i) { return view.incisal_dist[i]; });
  legend += key("threshold", "distance threshold " + number_text(threshold) + " mm (dashed)");
  if (trial != nullptr) {
    int peaks = 0, minima = 0;
    s += chart.marks(max_end, "max_end", trial->cycles, &peaks);
    s += chart.marks(min_start, "min_start", trial->cycles, &minima);
    legend +=
        key("max_end", counted(peaks, "peak", "peaks") + " of opening", "\xE2\x96\xB2") +
        key("min_start", counted(minima, "closing minimum", "closing minima"), "\xE2\x96\xBC");
  }
  s += "</svg>\n";
  return "<p class=\"legend\">" + legend + "</p>\n" + s;
}

// The EMG channels the recording carries, smoothed, each with its activity level and bursts,
// and in experiments 1 and 2 the windows of the experiment's MVC and noise level. The right and
// left channel of a muscle share one scale, so they compare by eye.
std::string emg_charts(const SampleView& view, const ExperimentEvaluation& experiment,
                       const RecordingForm& form, bool show_windows) {
  const int first = experiment.first_sample, last = experiment.last_sample;
  const std::string uv = std::string(" ") + kMicrovolt;
  long double top[kChannels] = {};
  for (int c = 0; c < form.emg_channels; ++c) {
    top[c] = experiment.activity_level[c];
    for (int i = first; i <= last; ++i) {
      const long double v = view.channel_value(c, i);
      if (std::isfinite(v) && v > top[c]) top[c] = v;
    }
  }
  std::string s;
  for (int c = 0; c < form.emg_channels; ++c) {
    const long double level = experiment.activity_level[c];
    const int partner = c ^ 1;  // right and left of the same muscle
    const Chart chart(view, first, last, kEmgHeight, std::max(top[c], top[partner]));
    std::string svg = chart.open("emg", "EMG (" + std::string(kMicrovolt) + ")");
    std::string legend = key("signal", "smoothed EMG");
    // Each run of samples with a positive integral inside the experiment is one burst.
    int bursts = 0;
    std::vector<std::pair<std::pair<int, int>, std::string>> spans;
    const BurstStretch* const begin = view.bursts[c];
    const BurstStretch* const end = begin + view.burst_count[c];
    auto k =
        std::partition_point(begin, end, [&](const BurstStretch& b) { return b.last < first; });
    for (; k != end && k->first <= last; ++k) {
      if (!(k->value > 0)) continue;
      const int i = std::max(k->first, first);
      const long double value = k->value;  // the integral at sample i
      int j = std::min(k->last, last);
      while (j < last && k + 1 != end && (k + 1)->first == j + 1 && (k + 1)->value > 0)
        j = std::min((++k)->last, last);
      ++bursts;
      spans.push_back({{i, j},
                       "burst " + std::to_string(bursts) + ", " + number_text(value) + " " +
                           kMicrovolt + "\xC2\xB7ms"});
    }
    svg += chart.bands("burst", spans);
    legend += key("level", "activity level " + number_text(level) + uv + " (dashed)") +
              key("burst", counted(bursts, "burst", "bursts"));
    const EmgWindow& mvc = experiment.mvc_window[c];
    const EmgWindow& noise = experiment.nl_window[c];
    if (show_windows && mvc.found) {
      const std::string text = "MVC window, mean " + number_text(experiment.mvc[c]) + uv;
      svg += chart.bar("window mvc", mvc.first, mvc.last, "MVC", text);
      legend += key("mvc", text, "MVC");
    }
    if (show_windows && noise.found) {
      const std::string text = "noise-level window, mean " + number_text(experiment.nl[c]) + uv;
      svg += chart.bar("window noise", noise.first, noise.last, "NL", text);
      legend += key("noise", text, "NL");
    }
    svg += chart.level("level", level, "activity level " + number_text(level) + uv);
    svg += chart.signal([&view, c](int i) { return view.channel_value(c, i); });
    svg += "</svg>\n";
    s += "<div class=\"channel\" data-channel=\"" + std::to_string(c + 1) +
         "\"><p class=\"legend\"><b>" + kChannelNames[c] + "</b> " + legend + "</p>\n" + svg +
         "</div>\n";
  }
  if (form.emg_channels == 0)
    s += "<p class=\"absent\">This recording has no EMG (every channel holds 0): jaw tracking "
         "only.</p>\n";
  else if (form.emg_channels < kChannels)
    s += "<p class=\"absent\">This recording has no temporalis channels (it carries the "
         "masseters only).</p>\n";
  return s;
}

// Optional numbers as table cells: empty where there is no value.
std::string cell(const std::optional<__int128>& value) {
  return value ? std::to_string(static_cast<long long>(*value)) : "";
}
std::string side_name(char side) { return side == 0 ? "" : std::string(1, side); }
std::string sequencing_name(char sequencing) {
  return sequencing == 'N' ? "normal" : sequencing == 'R' ? "reversed" : "";
}

// The frontal plane: the incisal point over each stroke, from where its opening began to its
// occlusion,
// lateral (kinematics' + toward the subject's right) across and opening down, as seen facing
// the subject: the subject's right on the viewer's left. One scale in both directions and for
// every trial of the recording, so loops compare in shape and size.
class FrontalPlane {
 public:
  // Every stroke's points in mm: lateral, vertical. Every stroke has its shape.
  FrontalPlane(const Evaluation& evaluation, const SampleView& view) {
    double reach = 1, low = 0, high = 1;  // mm shown to either side, above and below the start
    for (const TrialEvaluation& trial : evaluation.trials) {
      std::vector<std::vector<PathPoint>>& loops = loops_[trial.position];
      loops.resize(trial.strokes.size());
      for (std::size_t j = 0; j < trial.strokes.size(); ++j) {
        const StrokeResult& stroke = trial.strokes[j];
        const int start = stroke.opening_start;
        for (int i = start; i <= stroke.occlusion; ++i) {
          const Vector3 p = incisal_in_frame(evaluation.frame, view, start, i);
          const PathPoint mm{static_cast<double>(p.x), static_cast<double>(p.y)};
          if (!std::isfinite(mm.x) || !std::isfinite(mm.y)) continue;
          loops[j].push_back(mm);
          reach = std::max(reach, std::fabs(mm.x));
          low = std::min(low, mm.y), high = std::max(high, mm.y);
        }
      }
    }
    // A margin around the loops; then the plot square, the shorter extent widened to fill it.
    reach *= 1.1, high *= 1.05, low *= 1.05;
    px_per_mm_ = std::min(kBox / (2 * reach), kBox / (high - low));
    top_mm_ = low;
    step_mm_ = static_cast<double>(tick_step(kBox / 2 / px_per_mm_));  // across: at most 9 labels
  }

  // The plot of one trial, its legend and its strokes' table.
  std::string plot(const TrialEvaluation& trial) const;

 private:
  static constexpr double kBox = 300;  // the plot square, px
  static constexpr double kMaxTicks = 20;
  static constexpr double kLeftMargin = 44, kTop = 40;  // room for the labels
  static constexpr double kSize = kLeftMargin + kBox + 14, kHeight = kTop + kBox + 26;

  double x(double lateral) const { return kLeftMargin + kBox / 2 - lateral * px_per_mm_; }
  double y(double vertical) const { return kTop + (vertical - top_mm_) * px_per_mm_; }
  std::string axes() const;

  std::map<int, std::vector<std::vector<PathPoint>>> loops_;  // by trial position, by stroke
  double px_per_mm_ = 1, top_mm_ = 0, step_mm_ = 1;
};

std::string FrontalPlane::axes() const {
  const double half = kBox / 2 / px_per_mm_, bottom = top_mm_ + kBox / px_per_mm_;
  auto line = [](double x1, double y1, double x2, double y2) {
    return "<line x1=\"" + px(x1) + "\" y1=\"" + px(y1) + "\" x2=\"" + px(x2) + "\" y2=\"" +
           px(y2) + "\"/>";
  };
  // The frame, the lines through where the openings began, then the ticks: the lateral ones
  // along the top, in mm to either side, the vertical ones down the left.
  std::string s = "<g class=\"axis\"><rect class=\"frame\" x=\"" + px(kLeftMargin) + "\" y=\"" +
                  px(kTop) + "\" width=\"" + px(kBox) + "\" height=\"" + px(kBox) + "\"/>" +
                  "<g class=\"zero\">" + line(x(0), kTop, x(0), kTop + kBox) +
                  line(kLeftMargin, y(0), kLeftMargin + kBox, y(0)) + "</g><g class=\"ticks x\">";
  // Tick k at k steps from where the openings began; extents beyond any jaw's get no ticks.
  const double across = std::floor(half / step_mm_ + 1e-6);
  const double above = std::ceil(top_mm_ / step_mm_ - 1e-6);
  const double below = std::floor(bottom / step_mm_ + 1e-6);
  const int sides = across >= 0 && across <= kMaxTicks ? static_cast<int>(across) : -1;
  for (int k = -sides; k <= sides; ++k) {
    const double v = k * step_mm_;
    s += line(x(v), kTop - 4, x(v), kTop) + "<text x=\"" + px(x(v)) + "\" y=\"" + px(kTop - 6) +
         "\" text-anchor=\"middle\">" + short_number(std::abs(k) * step_mm_) + "</text>";
  }
  s += "</g><g class=\"ticks y\">";
  const bool down = std::fabs(above) <= 1e6 && below - above >= 0 && below - above <= kMaxTicks;
  for (int k = down ? static_cast<int>(above) : 1; down && k <= static_cast<int>(below); ++k) {
    const double v = k * step_mm_;
    s += line(kLeftMargin - 4, y(v), kLeftMargin, y(v)) + "<text x=\"" + px(kLeftMargin - 6) +
         "\" y=\"" + px(y(v) + 4) + "\" text-anchor=\"end\">" + short_number(v) + "</text>";
  }
  s += "</g><text class=\"label\" x=\"" + px(kLeftMargin) + "\" y=\"12\">subject's right " +
       "(mm)</text><text class=\"label\" x=\"" + px(kLeftMargin + kBox) +
       "\" y=\"12\" text-anchor=\"end\">subject's left (mm)</text><text class=\"label\" "
       "transform=\"translate(12 " +
       px(kTop + kBox / 2) + ") rotate(-90)\" text-anchor=\"middle\">opening (mm)</text>" +
       "<text class=\"label\" x=\"" + px(kLeftMargin + kBox / 2) + "\" y=\"" + px(kHeight - 8) +
       "\" text-anchor=\"middle\">as seen facing the subject</text></g>\n";
  return s;
}

std::string FrontalPlane::plot(const TrialEvaluation& trial) const {
  std::string svg = "<svg class=\"frontal\" width=\"" + px(kSize) + "\" height=\"" + px(kHeight) +
                    "\" viewBox=\"0 0 " + px(kSize) + " " + px(kHeight) + "\">\n" + axes();
  const std::vector<std::vector<PathPoint>>& loops = loops_.at(trial.position);
  std::string rows;
  for (std::size_t j = 0; j < trial.strokes.size(); ++j) {
    const StrokeResult& stroke = trial.strokes[j];
    const StrokeShape& k = *stroke.shape;
    const std::string confirmed =
        stroke.emg_confirmed ? (*stroke.emg_confirmed ? "yes" : "no") : "";
    rows += "<tr><td>" + std::to_string(j + 1) + "</td><td>" + cell(stroke.opening_ms) +
            "</td><td>" + cell(stroke.closing_ms) + "</td><td>" + cell(stroke.occlusal_ms) +
            "</td><td>" + cell(stroke.cycle_ms) + "</td><td>" + number_text(k.vertical_mm) +
            "</td><td>" + number_text(k.lateral_mm) + "</td><td>" +
            (k.closing_angle_deg ? number_text(*k.closing_angle_deg) : "") + "</td><td>" +
            sequencing_name(k.sequencing) + "</td><td>" + side_name(k.side_kinematic) +
            "</td><td>" + side_name(stroke.side_emg) + "</td><td>" + confirmed + "</td><td>" +
            (stroke.cycle > 0 ? std::to_string(stroke.cycle) : "") + "</td></tr>\n";
    // Points within a pixel of the last one kept add nothing to a 1 px line, and at high
    // sampling rates they would make up most of a long recording's page.
    std::vector<PathPoint> points;
    for (const PathPoint& mm : loops[j]) {
      const PathPoint p{x(mm.x), y(mm.y)};
      if (points.empty() || &mm == &loops[j].back() || std::fabs(p.x - points.back().x) >= 1 ||
          std::fabs(p.y - points.back().y) >= 1)
        points.push_back(p);
    }
    svg += "<path class=\"loop side-" + side_name(k.side_kinematic) + "\" d=\"" +
           path_data(simplified(points, kCurveTolerance)) + "\"><title>stroke " +
           std::to_string(j + 1) + ", side " + side_name(k.side_kinematic) + ", lateral " +
           number_text(k.lateral_mm) + " mm, vertical " + number_text(k.vertical_mm) +
           " mm</title></path>\n";
  }
  svg += "</svg>\n";
  const StrokeSummary& sum = trial.summary.all;
  std::string legend =
      "<p class=\"legend\">Frontal plane of the strokes, from where each opening began to its "
      "occlusion, as seen facing the subject (the subject's right on the left); one scale across "
      "and down, and for every trial of this recording: " +
      key("side-R", std::to_string(sum.side_right) + " right (R, solid)") +
      key("side-L", std::to_string(sum.side_left) + " left (L, dashed)") +
      key("side-C", std::to_string(sum.side_central) + " central (C, dotted)");
  if (sum.side_preference_pct)
    legend += "side preference " + short_number(*sum.side_preference_pct) + " %";
  if (sum.reversed_pct) legend += "; reversed sequencing " + short_number(*sum.reversed_pct) + " %";
  legend += "</p>\n";
  return legend + svg + "<details class=\"strokes\">\n<summary>The " +
         counted(static_cast<long long>(trial.strokes.size()), "stroke", "strokes") +
         " of this trial</summary>\n<table>\n<tr><th>stroke</th><th>opening ms</th><th>closing "
         "ms</th><th>occlusal ms</th><th>cycle ms</th><th>vertical mm</th><th>lateral "
         "mm</th><th>closing angle °</th><th>sequencing</th><th>side (movement)</th><th>side "
         "(EMG)</th><th>confirmed (EMG)</th><th>classic cycle</th></tr>\n" +
         rows + "</table>\n</details>\n";
}

// An optional figure as a table cell; a dash where there is none.
std::string figure_cell(const std::optional<long double>& value) {
  return "<td>" + (value ? number_text(*value) : std::string("&#8211;")) + "</td>";
}

// A border movement's incisal path from the calibrated rest position, in the frontal plane
// (lateral across, as seen facing the subject: the subject's right on the viewer's left) and the
// sagittal plane (antero-posterior across, as seen from the subject's right: forward on the
// viewer's right), opening down in both. Both plots share one px/mm scale across and down, so
// the two views of the path compare in size.
class MovementPlanes {
 public:
  MovementPlanes(const Evaluation& evaluation, const SampleView& view, int first, int last) {
    for (int i = first; i <= last; ++i) {
      const Vector3 p = incisal_from_rest(evaluation.frame, view, i);
      if (std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z)) points_.push_back(p);
    }
    // The extents hold the rest position and a little room around the path.
    for (const Vector3& p : points_) {
      lateral_[0] = std::min(lateral_[0], p.x), lateral_[1] = std::max(lateral_[1], p.x);
      ap_[0] = std::min(ap_[0], p.z), ap_[1] = std::max(ap_[1], p.z);
      down_[0] = std::min(down_[0], p.y), down_[1] = std::max(down_[1], p.y);
    }
    for (long double* range : {lateral_, ap_, down_}) {
      const long double middle = (range[0] + range[1]) / 2;
      const long double half = std::max((range[1] - range[0]) / 2 * 1.1L, kMinHalf_mm);
      range[0] = middle - half, range[1] = middle + half;
    }
    const long double widest =
        std::max({lateral_[1] - lateral_[0], ap_[1] - ap_[0], down_[1] - down_[0]});
    px_per_mm_ = static_cast<double>(kBox / widest);
    // Across, both plots are a box wide; down, as high as the path needs, centred on it. One
    // tick step across and down, fine enough for a few ticks down a low box.
    box_height_ = std::max(kMinHeight, static_cast<double>(down_[1] - down_[0]) * px_per_mm_);
    top_mm_ = static_cast<double>(down_[0] + down_[1]) / 2 - box_height_ / 2 / px_per_mm_;
    step_mm_ = static_cast<double>(tick_step(box_height_ / px_per_mm_));
  }

  // Both plots, side by side.
  std::string plots() const {
    return "<div class=\"planes\" data-px-per-mm=\"" + px(px_per_mm_) + "\">" +
           plot(
               "frontal-path", lateral_, true,
               [](const Vector3& p) { return static_cast<double>(p.x); }, "subject's right (mm)",
               "subject's left (mm)", "as seen facing the subject") +
           plot(
               "sagittal-path", ap_, false,
               [](const Vector3& p) { return static_cast<double>(p.z); }, "backward (mm)",
               "forward (mm)", "as seen from the subject's right") +
           "</div>\n";
  }

 private:
  // The plot's box: kBox px across for the widest extent, at least kMinHeight px down.
  static constexpr double kBox = 240, kMinHeight = 120;
  static constexpr double kLeftMargin = 44, kTop = 40, kBottom = 26, kRight = 14;
  static constexpr long double kMinHalf_mm = 1;  // a path of no extent still gets a plot

  // One plane: `range` the mm across, `mirrored` where + lies on the viewer's left.
  template <typename Across>
  std::string plot(const std::string& css_class, const long double* range, bool mirrored,
                   Across&& across, const std::string& left_label, const std::string& right_label,
                   const std::string& caption) const {
    const double low = static_cast<double>(range[0]), high = static_cast<double>(range[1]);
    const double middle = (low + high) / 2, top_mm = top_mm_;
    auto x = [&](double mm) {
      return kLeftMargin + kBox / 2 + (mirrored ? -1 : 1) * (mm - middle) * px_per_mm_;
    };
    auto y = [&](double mm) { return kTop + (mm - top_mm) * px_per_mm_; };
    auto line = [](double x1, double y1, double x2, double y2) {
      return "<line x1=\"" + px(x1) + "\" y1=\"" + px(y1) + "\" x2=\"" + px(x2) + "\" y2=\"" +
             px(y2) + "\"/>";
    };
    const double width = kLeftMargin + kBox + kRight, height = kTop + box_height_ + kBottom;
    std::string s = "<svg class=\"plane " + css_class + "\" width=\"" + px(width) + "\" height=\"" +
                    px(height) + "\" viewBox=\"0 0 " + px(width) + " " + px(height) +
                    "\">\n<g class=\"axis\"><rect class=\"frame\" x=\"" + px(kLeftMargin) +
                    "\" y=\"" + px(kTop) + "\" width=\"" + px(kBox) + "\" height=\"" +
                    px(box_height_) + "\"/><g class=\"zero\">" +
                    line(x(0), kTop, x(0), kTop + box_height_) +
                    line(kLeftMargin, y(0), kLeftMargin + kBox, y(0)) + "</g>";
    // The box shows half a box to either side of the middle, and a box down from the top.
    const double half = kBox / 2 / px_per_mm_, bottom_mm = top_mm + box_height_ / px_per_mm_;
    s += "<g class=\"ticks x\">";
    for (double k = std::ceil((middle - half) / step_mm_ - 1e-6);
         k <= std::floor((middle + half) / step_mm_ + 1e-6); ++k) {
      // Across the frontal plane the side is the label's, so the ticks count from the middle.
      const double v = k * step_mm_;
      s += line(x(v), kTop - 4, x(v), kTop) + "<text x=\"" + px(x(v)) + "\" y=\"" + px(kTop - 6) +
           "\" text-anchor=\"middle\">" + short_number(mirrored || v == 0 ? std::fabs(v) : v) +
           "</text>";
    }
    s += "</g><g class=\"ticks y\">";
    for (double k = std::ceil(top_mm / step_mm_ - 1e-6);
         k <= std::floor(bottom_mm / step_mm_ + 1e-6); ++k) {
      const double v = k * step_mm_;
      s += line(kLeftMargin - 4, y(v), kLeftMargin, y(v)) + "<text x=\"" + px(kLeftMargin - 6) +
           "\" y=\"" + px(y(v) + 4) + "\" text-anchor=\"end\">" + short_number(v == 0 ? 0 : v) +
           "</text>";
    }
    // The sides' names above the ticks across, the view's below the box.
    s += "</g><text class=\"label\" x=\"" + px(kLeftMargin) + "\" y=\"12\">" + left_label +
         "</text><text class=\"label\" x=\"" + px(kLeftMargin + kBox) +
         "\" y=\"12\" text-anchor=\"end\">" + right_label +
         "</text><text class=\"label\" transform=\"translate(12 " + px(kTop + box_height_ / 2) +
         ") rotate(-90)\" text-anchor=\"middle\">opening (mm)</text><text class=\"label\" x=\"" +
         px(kLeftMargin + kBox / 2) + "\" y=\"" + px(height - 8) + "\" text-anchor=\"middle\">" +
         caption + "</text></g>\n";
    "\" text-anchor=\"middle\">" + caption + "</text></g>\n";
    // Points within a pixel of the last one kept add nothing to a 1 px line.
    std::vector<PathPoint> points;
    for (const Vector3& mm : points_) {
      const PathPoint p{x(across(mm)), y(static_cast<double>(mm.y))};
      if (points.empty() || &mm == &points_.back() || std::fabs(p.x - points.back().x) >= 1 ||
          std::fabs(p.y - points.back().y) >= 1)
        points.push_back(p);
    }
    s += "<path class=\"path\" d=\"" + path_data(simplified(points, kCurveTolerance)) + "\"/>\n";
    s += "<circle class=\"rest\" cx=\"" + px(x(0)) + "\" cy=\"" + px(y(0)) +
         "\" r=\"4\"><title>calibrated rest position</title></circle>\n</svg>\n";
    return s;
  }

  std::vector<Vector3> points_;
  long double lateral_[2] = {}, ap_[2] = {}, down_[2] = {};  // mm shown: lowest, highest
  double px_per_mm_ = 1, step_mm_ = 1, box_height_ = kMinHeight, top_mm_ = 0;
};

// A border-movement experiment's figures and its incisal path in two planes.
std::string movement_section(int position, const Evaluation& evaluation, const SampleView& view,
                             const LabProtocol& protocol) {
  const ExperimentEvaluation& x = evaluation.experiments[position];
  std::string s = "<div class=\"movement\">\n<p class=\"legend\"><b>Border movement (" +
                  std::string(role_name(protocol.role[position])) + ")</b> ";
  if (!evaluation.frame.valid || view.incisal_x == nullptr)
    return s +
           "</p>\n<p class=\"absent\">No jaw frame (the calibration gives no lateral axis, or "
           "the positions were not kept): the movement is neither measured nor drawn.</p>\n"
           "</div>\n";
  s += key("path", "incisal path from the calibrated rest position (solid)") +
       key("rest", "rest position (ring)", "\xE2\x97\x8B") +
       "in the jaw frame, one scale across and down in both planes</p>\n" +
       MovementPlanes(evaluation, view, x.first_sample, x.last_sample).plots();
  const MovementResult* m = nullptr;
  for (const MovementResult& result : evaluation.movements)
    if (result.position == position) m = &result;
  const MovementResult none;
  if (m == nullptr) m = &none;
  return s +
         "<table class=\"figures\">\n<tr><th>opening mm</th><th>lateral mm (+ right)</th>"
         "<th>protrusion mm</th><th>deviation mm</th><th>deflection mm</th></tr>\n<tr>" +
         figure_cell(m->opening_mm) + figure_cell(m->lateral_mm) + figure_cell(m->protrusion_mm) +
         figure_cell(m->deviation_mm) + figure_cell(m->deflection_mm) + "</tr>\n</table>\n</div>\n";
}

// A clench experiment's smoothed channels over its clench window, the right and left of a
// muscle in one chart on one scale, and its indices.
std::string clench_section(int position, const Evaluation& evaluation,
                           const LabProtocol& protocol) {
  std::string s = "<div class=\"clench\">\n<p class=\"legend\"><b>Clench (" +
                  std::string(role_name(protocol.role[position])) + ")</b></p>\n";
  static const ClenchWindow kNone;
  const bool kept = position < static_cast<int>(evaluation.clench_windows.size());
  const ClenchWindow& w = kept ? evaluation.clench_windows[position] : kNone;
  const int n = static_cast<int>(w.time.size());
  if (!w.found || n == 0)
    return s +
           "<p class=\"absent\">No clench window: no channel's MVC window qualified in this "
           "experiment, so no index is taken.</p>\n</div>\n";
  // The window's own samples, as the charts read a recording's.
  SampleView window;
  window.count = n;
  window.time = w.time.data();
  for (int c = 0; c < kChannels; ++c)
    if (w.value[c].size() == w.time.size()) window.channel[c] = w.value[c].data();
  const std::string uv = std::string(" ") + kMicrovolt;
  for (int c = 0; c + 1 < evaluation.form.emg_channels; c += 2) {
    long double top = 0;
    for (int pair = c; pair <= c + 1; ++pair)
      for (const long double v : w.value[pair])
        if (std::isfinite(v)) top = std::max(top, v);
    const Chart chart(window, 0, n - 1, kEmgHeight, top);
    const std::string muscle = c == 0 ? "M. masseter" : "M. temporalis";
    s += "<p class=\"legend\"><b>" + muscle + "</b> " + key("clench-R", "right (solid)") +
         key("clench-L", "left (dashed)") + "smoothed EMG over the clench window, samples " +
         std::to_string(w.first) + " to " + std::to_string(w.last) + "</p>\n" +
         chart.open("emg clench-chart", "EMG (" + std::string(kMicrovolt) + ")") +
         chart.line("trace clench-R", [&](int i) { return window.channel_value(c, i); }) +
         chart.line("trace clench-L", [&](int i) { return window.channel_value(c + 1, i); }) +
         "</svg>\n";
  }
  const ClenchResult* r = nullptr;
  for (const ClenchResult& result : evaluation.clenches)
    if (result.position == position) r = &result;
  if (r == nullptr) return s + "</div>\n";
  return s +
         "<table class=\"figures\">\n<tr><th>standardized</th><th>POC masseter %</th>"
         "<th>POC temporalis %</th><th>torque %</th><th>activity %</th><th>asymmetry "
         "masseter %</th><th>asymmetry temporalis %</th><th>impact % s</th></tr>\n<tr><td>" +
         (r->standardized ? "yes (% of the reference clench)" : "no (" + uv.substr(1) + ")") +
         "</td>" + figure_cell(r->poc_masseter) + figure_cell(r->poc_temporalis) +
         figure_cell(r->torque) + figure_cell(r->activity) + figure_cell(r->asymmetry_masseter) +
         figure_cell(r->asymmetry_temporalis) + figure_cell(r->impact) +
         "</tr>\n</table>\n</div>\n";
}

std::string panel(int position, const Settings& settings, const Evaluation& evaluation,
                  const TrialEvaluation* chewing, const SampleView& view,
                  const FrontalPlane* frontal, const LabProtocol& protocol) {
  const ExperimentEvaluation& x = evaluation.experiments[position];
  const bool trial = chewing != nullptr;
  std::string title =
      "Experiment " + std::to_string(position + 1) + ": " + escaped(protocol.task[position]);
  if (trial) title += " (" + std::string(trial_label(position)) + ")";
  std::string s = "<section class=\"panel " + std::string(trial ? "trial" : "other") +
                  "\" data-experiment=\"" + std::to_string(position + 1) + "\"";
  if (trial) s += " data-trial=\"" + std::string(trial_label(position)) + "\"";
  s += ">\n";
  if (!trial) s = "<details>\n<summary>" + title + "</summary>\n" + s;
  s += "<h3>" + title + "</h3>\n<p>samples " + std::to_string(x.first_sample) + " to " +
       std::to_string(x.last_sample) + ", threshold crossings " +
       std::to_string(x.threshold_crossings);
  if (trial)
    s += ", " + counted(x.chewing_cycles, "confirmed chewing cycle", "confirmed chewing cycles") +
         " (the report's C.)";
  s += ", maximal distances right/left/incisal " + number_text(x.right_max) + " / " +
       number_text(x.left_max) + " / " + number_text(x.incisal_max) + " mm</p>\n";
  if (x.last_sample < x.first_sample || x.first_sample < 0 ||
      x.last_sample >= evaluation.no_entries) {
    s += "<p>no samples</p>\n";
  } else {
    s += distance_chart(view, x, chewing, settings.dist_threshold);
    if (chewing != nullptr && frontal != nullptr) s += frontal->plot(*chewing);
    if (!trial && is_border_movement(protocol.role[position]))
      s += movement_section(position, evaluation, view, protocol);
    if (!trial && is_clench(protocol.role[position]))
      s += clench_section(position, evaluation, protocol);
    const bool mvc_experiment = position == kMvcExperiments[0] || position == kMvcExperiments[1];
    s += emg_charts(view, x, evaluation.form, mvc_experiment);
  }
  s += "</section>\n";
  if (!trial) s += "</details>\n";
  return s;
}

// The data checks' findings, errors first, as a banner; a quiet line when there are none.
std::string findings_banner(const Evaluation& evaluation) {
  int errors = 0, warnings = 0;
  std::string items[2];  // errors, warnings
  for (const Finding& finding : evaluation.findings) {
    const CheckRule& rule = rule_of(finding.check);
    const bool error = rule.severity == Severity::error;
    ++(error ? errors : warnings);
    std::string where;
    if (finding.experiment > 0) where = "experiment " + std::to_string(finding.experiment);
    if (!finding.channel.empty()) where += (where.empty() ? "" : ", ") + finding.channel;
    items[error ? 0 : 1] += "<li class=\"" + std::string(severity_name(rule.severity)) + "\"><b>" +
                            severity_name(rule.severity) + "</b> <code>" + rule.name + "</code>" +
                            (where.empty() ? "" : " (" + escaped(where) + ")") + ": " +
                            escaped(finding.message) + "</li>\n";
  }
  if (errors + warnings == 0)
    return "<section class=\"findings none\" data-errors=\"0\" data-warnings=\"0\">"
           "<p>Data checks: no findings.</p></section>\n";
  return "<section class=\"findings" + std::string(errors > 0 ? " has-errors" : "") +
         "\" data-errors=\"" + std::to_string(errors) + "\" data-warnings=\"" +
         std::to_string(warnings) + "\">\n<p>Data checks: " + std::to_string(errors) +
         (errors == 1 ? " error, " : " errors, ") + std::to_string(warnings) +
         (warnings == 1 ? " warning" : " warnings") + " (findings.csv has them all).</p>\n<ul>\n" +
         items[0] + items[1] + "</ul>\n</section>\n";
}

constexpr char kStyle[] =
    "body{font:14px sans-serif;margin:16px;color:#222}"
    "table{border-collapse:collapse;margin:4px 0 12px}th,td{padding:2px 8px;text-align:left;"
    "border-bottom:1px solid #ddd}th{font-weight:600}"
    ".panel{margin:12px 0 24px}.legend{margin:4px 0}.terms{max-width:1200px;color:#333}"
    "svg.chart{display:block;width:100%;height:auto;max-width:1600px;background:#fff}"
    ".axis line,.axis path{stroke:#444;stroke-width:1;fill:none}.axis "
    "text{font-size:11px;fill:#333}"
    ".axis .label{font-size:12px}"
    ".signal{fill:rgb(var(--black));stroke:rgb(var(--black));stroke-width:1;stroke-linejoin:round}"
    ".threshold,.level{stroke:rgb(var(--vermillion));stroke-width:1.2;stroke-dasharray:6 3}"
    "rect.cycle.confirmed{fill:rgb(var(--green) / .4)}"
    "rect.cycle.rejected{fill:none;stroke:rgb(var(--vermillion));stroke-dasharray:3 2;"
    "pointer-events:all}"
    ".burst rect{fill:rgb(var(--orange) / .35)}"
    "rect.window.mvc{fill:rgb(var(--yellow))}rect.window.noise{fill:rgb(var(--sky))}"
    ".bar-label{font-size:10px;fill:#222}"
    ".mark{stroke:none}.mark.max_end{fill:rgb(var(--blue))}.mark.min_start{fill:rgb(var(--orange))}"
    ".entry{white-space:nowrap;margin-right:10px}.absent{font-style:italic;color:#555}"
    ".key{display:inline-block;box-sizing:border-box;width:14px;height:10px;margin:0 4px 0 0;"
    "vertical-align:middle;font-size:10px;line-height:10px;text-align:center}"
    ".key.signal{border-top:2px solid rgb(var(--black));height:0}"
    ".key.confirmed{background:rgb(var(--green) / .4)}"
    ".key.rejected{border:1px dashed rgb(var(--vermillion))}"
    ".key.threshold,.key.level{border-top:2px dashed rgb(var(--vermillion));height:0}"
    ".key.max_end{color:rgb(var(--blue))}.key.min_start{color:rgb(var(--orange))}"
    ".key.burst{background:rgb(var(--orange) / .35)}"
    ".key.mvc,.key.noise{width:auto;padding:0 2px;color:#222}"
    ".key.mvc{background:rgb(var(--yellow))}.key.noise{background:rgb(var(--sky))}"
    "details{margin:6px 0}summary{cursor:pointer;font-weight:600}"
    ".findings{border:1px solid rgb(var(--orange));background:rgb(var(--orange) / .12);"
    "padding:4px 12px;margin:8px 0 16px}"
    ".findings.has-errors{border-color:rgb(var(--vermillion));"
    "background:rgb(var(--vermillion) / .1)}"
    ".findings.none{border-color:rgb(var(--green));background:rgb(var(--green) / .1)}"
    ".findings li b{padding:0 4px;color:#000}.findings li.error "
    "b{background:rgb(var(--vermillion))}"
    ".findings li.warning b{background:rgb(var(--orange))}"
    "svg.frontal{display:block;background:#fff}svg.frontal .frame{fill:none;stroke:#999}"
    "svg.frontal .zero line{stroke:#bbb;stroke-dasharray:2 2}"
    ".loop{fill:none;stroke-width:1.2}.loop.side-R{stroke:rgb(var(--blue))}"
    ".loop.side-L{stroke:rgb(var(--orange));stroke-dasharray:5 2}"
    ".loop.side-C{stroke:rgb(var(--black));stroke-dasharray:1 2}"
    ".key.side-R,.key.side-L,.key.side-C{height:0;width:18px}"
    ".key.side-R{border-top:2px solid rgb(var(--blue))}"
    ".key.side-L{border-top:2px dashed rgb(var(--orange))}"
    ".key.side-C{border-top:2px dotted rgb(var(--black))}"
    ".planes{display:flex;flex-wrap:wrap;gap:16px}svg.plane{display:block;background:#fff}"
    "svg.plane .frame{fill:none;stroke:#999}svg.plane .zero line{stroke:#bbb;"
    "stroke-dasharray:2 2}svg.plane .path{fill:none;stroke:rgb(var(--blue));stroke-width:1.2}"
    "svg.plane .rest{fill:none;stroke:rgb(var(--black));stroke-width:1.5}"
    ".key.path{height:0;width:18px;border-top:2px solid rgb(var(--blue))}"
    ".key.rest{color:rgb(var(--black))}"
    ".trace{fill:none;stroke-width:1.2}.trace.clench-R{stroke:rgb(var(--blue))}"
    ".trace.clench-L{stroke:rgb(var(--vermillion));stroke-dasharray:6 3}"
    ".key.clench-R,.key.clench-L{height:0;width:18px}"
    ".key.clench-R{border-top:2px solid rgb(var(--blue))}"
    ".key.clench-L{border-top:2px dashed rgb(var(--vermillion))}";

// What the page's abbreviations stand for.
constexpr char kTerms[] =
    "<p class=\"terms\"><b>Abbreviations.</b> Chewing trials: FK1, FK2 free chewing; RK1, RK2 "
    "chewing on the right side; LK1, LK2 chewing on the left side. MVC maximum voluntary "
    "contraction; NL noise level; EMG electromyogram; RMS root mean square (the EMG's "
    "smoothing); M. musculus (muscle); C. the report's column of confirmed chewing cycles; "
    "chewing sides R right, L left, C central, B both; POC percentage overlapping coefficient; "
    "mm millimetre, ms millisecond, s second, "
    "\xC2\xB5V microvolt, Hz hertz (per second).</p>\n";

}  // namespace

std::string check_page_name(const std::string& report_name) {
  const std::string suffix = "_output.txt";
  std::string name = report_name;
  if (name.size() >= suffix.size() &&
      name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
    name.resize(name.size() - suffix.size());
  return name + "_check.html";
}

std::string check_page(const std::string& file, const Settings& settings,
                       const Evaluation& evaluation, const SampleView& view,
                       const LabProtocol& protocol) {
  const std::string title = "Check page: " + escaped(file);
  std::string s =
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<meta name=\"viewport\" content=\"width=device-width\">\n<title>" +
      title + "</title>\n<style>" + kPaletteStyle + kStyle + "</style>\n</head>\n<body>\n<h1>" +
      title + "</h1>\n" + findings_banner(evaluation) + kTerms;
  s += "<section class=\"header\">\n<h2>Recording</h2>\n<table>\n";
  const RecordingHeader& header = evaluation.header;
  s += row("Person", escaped(header.person)) + row("Sex", escaped(header.sex)) +
       row("Born", escaped(header.born)) + row("Creation", escaped(header.creation)) +
       row("Frequency", escaped(header.frequency)) +
       row("Samples / experiments",
           std::to_string(evaluation.no_entries) + " / " + std::to_string(evaluation.no_tracks));
  s += "</table>\n<h2>Settings</h2>\n<table>\n";
  s += row("RMS window", std::to_string(settings.rms_time) + " ms") +
       row("MVC window", std::to_string(settings.mvc_time) + " ms") +
       row("Noise-level window", std::to_string(settings.nl_time) + " ms") +
       row("EMG threshold", short_number(settings.emg_threshold * 100) + " % of the MVC") +
       row("Distance threshold", number_text(settings.dist_threshold) + " mm");
  const int channels = evaluation.form.emg_channels;
  const std::string uv = kMicrovolt;
  s += "</table>\n<h2>Summary</h2>\n<table>\n<tr><th></th>";
  for (int c = 0; c < channels; ++c) s += "<th>" + std::string(kChannelNames[c]) + "</th>";
  s += "</tr>\n<tr><th>MVC (" + uv + ")</th>";
  for (int c = 0; c < channels; ++c) s += "<td>" + number_text(evaluation.run_mvc[c]) + "</td>";
  s += "</tr>\n<tr><th>Noise level (" + uv + ")</th>";
  for (int c = 0; c < channels; ++c) s += "<td>" + number_text(evaluation.run_nl[c]) + "</td>";
  s += "</tr>\n<tr><th>Activity level in the chewing trials (" + uv + ")</th>";
  for (int c = 0; c < channels; ++c)
    s += "<td>" + number_text(settings.emg_threshold * evaluation.run_mvc[c]) +
         " + noise level</td>";
  s += "</tr>\n</table>\n<table>\n";
  s += row("Maximal distance right / left / incisal",
           number_text(evaluation.right_max) + " / " + number_text(evaluation.left_max) + " / " +
               number_text(evaluation.incisal_max) + " mm");
  s += "</table>\n</section>\n";
  s += "<h2>Chewing trials</h2>\n";
  // Without a jaw frame (no calibration line) the strokes have no shape and no loops.
  std::optional<FrontalPlane> frontal;
  if (evaluation.frame.valid) frontal.emplace(evaluation, view);
  for (const TrialEvaluation& trial : evaluation.trials)
    s += panel(trial.position, settings, evaluation, &trial, view, frontal ? &*frontal : nullptr,
               protocol);
  s += "<h2>Other experiments</h2>\n";
  for (int k = 0; k < evaluation.no_experiments && k < kFirstChewingTrial; ++k)
    s += panel(k, settings, evaluation, nullptr, view, nullptr, protocol);
  s += "</body>\n</html>\n";
  return s;
}

std::string write_check_page(const std::string& path, const std::string& file,
                             const Settings& settings, const Evaluation& evaluation,
                             const SampleView& view, const LabProtocol& protocol) {
  if (const int error =
          write_file_safely(path, check_page(file, settings, evaluation, view, protocol)))
    return "cannot write page '" + path + "': " + std::strerror(error);
  return "";
}
