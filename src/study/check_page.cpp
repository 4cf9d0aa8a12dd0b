#include "study/check_page.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
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

// The legend's sample of an overlay: a span styled as the overlay is drawn.
std::string key(const std::string& css_class, const std::string& text) {
  return "<span class=\"entry\"><span class=\"key " + css_class + "\"></span>" + text + "</span> ";
}

// One chart of samples first..last: time (ms from the first one's time stamp) across, a value up.
class Chart {
 public:
  Chart(const SampleView& view, int first, int last, long double height, long double top_value)
      : view_(view), f_(first), l_(last), height_(height) {
    t0_ = static_cast<long double>(view_.time[f_]);
    t1_ = static_cast<long double>(view_.time[l_]);
    if (!(t1_ > t0_)) t1_ = t0_ + 1;
    top_ = top_value > 0 && std::isfinite(top_value) ? top_value * 1.05L : 1;
  }

  long double x(long double ms) const { return kLeft + (ms - t0_) / (t1_ - t0_) * kPlotWidth; }
  long double x_of(int i) const { return x(static_cast<long double>(view_.time[i])); }
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
    s += "<g class=\"axis\"><line x1=\"" + px(kLeft) + "\" y1=\"" + px(kTop) + "\" x2=\"" +
         px(kLeft) + "\" y2=\"" + px(bottom) + "\"/><line x1=\"" + px(kLeft) + "\" y1=\"" +
         px(bottom) + "\" x2=\"" + px(kLeft + kPlotWidth) + "\" y2=\"" + px(bottom) + "\"/>";
    const long double ystep = tick_step(top_);
    for (long double v = 0; v <= top_; v += ystep) {
      s += "<line x1=\"" + px(kLeft - 4) + "\" y1=\"" + px(y(v)) + "\" x2=\"" + px(kLeft) +
           "\" y2=\"" + px(y(v)) + "\"/><text x=\"" + px(kLeft - 6) + "\" y=\"" + px(y(v) + 4) +
           "\" text-anchor=\"end\">" + short_number(v) + "</text>";
    }
    const long double seconds = (t1_ - t0_) / 1000;
    const long double xstep = tick_step(seconds);
    for (long double v = 0; v <= seconds; v += xstep) {
      const long double at = x(t0_ + v * 1000);
      s += "<line x1=\"" + px(at) + "\" y1=\"" + px(bottom) + "\" x2=\"" + px(at) + "\" y2=\"" +
           px(bottom + 4) + "\"/><text x=\"" + px(at) + "\" y=\"" + px(bottom + 16) +
           "\" text-anchor=\"middle\">" + short_number(v) + "</text>";
    }
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

  // A bar over samples a..b along the plot's top edge: a window marked this way leaves the bands
  // under it in their own colour.
  std::string bar(const std::string& css_class, int a, int b, const std::string& title) const {
    return rect(css_class, a, b, kTop, 8, title);
  }

  std::string level(const std::string& css_class, long double v, const std::string& label) const {
    return "<line class=\"" + css_class + "\" x1=\"" + px(kLeft) + "\" y1=\"" + px(y(v)) +
           "\" x2=\"" + px(kLeft + kPlotWidth) + "\" y2=\"" + px(y(v)) + "\"><title>" + label +
           "</title></line>\n";
  }

  // The signal reduced to one pixel column at a time: each column holding samples is drawn
  // from its smallest to its largest value, so no peak or turning point is lost.
  template <typename Value>
  std::string signal(Value&& value_at) const {
    std::vector<long double> low(kPlotWidth), high(kPlotWidth);
    std::vector<bool> used(kPlotWidth, false);
    for (int i = f_; i <= l_; ++i) {
      const long double v = value_at(i);
      if (!std::isfinite(v)) continue;
      long double column = std::floor(x_of(i) - kLeft);
      const int c = column < 0             ? 0
                    : column >= kPlotWidth ? kPlotWidth - 1
                                           : static_cast<int>(column);
      if (!used[c] || v < low[c]) low[c] = v;
      if (!used[c] || v > high[c]) high[c] = v;
      used[c] = true;
    }
    std::string d;
    for (int c = 0; c < kPlotWidth; ++c) {
      if (!used[c]) continue;
      const std::string at = px(kLeft + c + 0.5L);
      d += (d.empty() ? "M" : "L") + at + " " + px(y(low[c]));
      if (high[c] != low[c]) d += "L" + at + " " + px(y(high[c]));
    }
    return "<path class=\"signal\" d=\"" + d + "\"/>\n";
  }

  // A tick at every sample of the cycles carrying the status bit: up at the peak of an opening
  // (max_end), down at a closing minimum (min_start). Outside the cycles the turning points are
  // the baseline's small wobbles, which would only crowd the chart.
  std::string marks(std::uint8_t bit, const std::string& css_class,
                    const std::vector<CycleResult>& cycles, int* count) const {
    std::string d;
    *count = 0;
    for (const CycleResult& figures : cycles) {
      for (int i = figures.cycle.start; i <= figures.cycle.end && i <= l_; ++i) {
        if (i < f_ || !(view_.cycle_status[i] & bit)) continue;
        ++*count;
        d += "M" + px(x_of(i)) + " " + px(y(view_.incisal_dist[i])) +
             (bit == max_end ? "v-7" : "v7");
      }
    }
    return "<path class=\"mark " + css_class + "\" d=\"" + d + "\"/>\n";
  }

 private:
  std::string rect(const std::string& css_class, int a, int b, long double top, long double height,
                   const std::string& title) const {
    long double x1 = x_of(a), w = x_of(b) - x1;
    if (w < 1) w = 1;
    std::string s = "<rect class=\"" + css_class + "\" x=\"" + px(x1) + "\" y=\"" + px(top) +
                    "\" width=\"" + px(w) + "\" height=\"" + px(height) + "\"";
    return title.empty() ? s + "/>\n" : s + "><title>" + title + "</title></rect>\n";
  }

  const SampleView& view_;
  int f_, l_;
  long double height_;
  long double t0_, t1_, top_;
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
    legend +=
        key("confirmed", std::to_string(confirmed) + " chewing cycles confirmed by the masseters") +
        key("rejected", std::to_string(rejected) + " cycles without masseter activity");
  }
  s += chart.level("threshold", threshold, "distance threshold " + number_text(threshold) + " mm");
  s += chart.signal([&view](int i) { return view.incisal_dist[i]; });
  legend += key("threshold", "distance threshold " + number_text(threshold) + " mm");
  if (trial != nullptr) {
    int peaks = 0, minima = 0;
    s += chart.marks(max_end, "max_end", trial->cycles, &peaks);
    s += chart.marks(min_start, "min_start", trial->cycles, &minima);
    legend += key("max_end", std::to_string(peaks) + " peaks of opening") +
              key("min_start", std::to_string(minima) + " closing minima");
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
      svg += chart.band("burst", i, j,
                        "burst " + std::to_string(bursts) + ", " + number_text(value) + " " +
                            kMicrovolt + "\xC2\xB7ms");
    }
    legend += key("level", "activity level " + number_text(level) + uv) +
              key("burst", std::to_string(bursts) + (bursts == 1 ? " burst" : " bursts"));
    const EmgWindow& mvc = experiment.mvc_window[c];
    const EmgWindow& noise = experiment.nl_window[c];
    if (show_windows && mvc.found) {
      svg += chart.bar("window mvc", mvc.first, mvc.last,
                       "MVC window, mean " + number_text(experiment.mvc[c]) + uv);
      legend += key("mvc", "MVC window, mean " + number_text(experiment.mvc[c]) + uv);
    }
    if (show_windows && noise.found) {
      svg += chart.bar("window noise", noise.first, noise.last,
                       "noise-level window, mean " + number_text(experiment.nl[c]) + uv);
      legend += key("noise", "noise-level window, mean " + number_text(experiment.nl[c]) + uv);
    }
    svg += chart.level("level", level, "activity level " + number_text(level) + uv);
    svg += chart.signal([&view, c](int i) { return view.channel_value(c, i); });
    svg += "</svg>\n";
    s += "<div class=\"channel\" data-channel=\"" + std::to_string(c + 1) +
         "\"><p class=\"legend\"><b>" + kChannelNames[c] + "</b> " + legend + "</p>\n" + svg +
         "</div>\n";
  }
  if (form.emg_channels < kChannels)
    s += "<p class=\"absent\">This recording has no temporalis channels (it carries the "
         "masseters only).</p>\n";
  return s;
}

// Optional numbers as table cells: empty where there is no value.
std::string cell(const std::optional<__int128>& value) {
  return value ? std::to_string(static_cast<long long>(*value)) : "";
}
std::string side_name(char side) { return side == 0 ? "" : std::string(1, side); }

// The frontal plane of a chewing trial: each confirmed cycle's loop of the incisal point, lateral
// (+ toward the subject's right) across and opening down, from where its opening began, coloured
// by its kinematic side; under it the side counts and the cycles' table, folded.
// Every cycle of the trial has its kinematics.
std::string frontal_plot(const TrialEvaluation& trial, const JawFrame& frame,
                         const SampleView& view) {
  constexpr long double kSize = 320, kMargin = 40;
  long double reach = 1, depth = 1;  // mm shown to either side, and down
  for (const CycleResult& cycle : trial.cycles) {
    const CycleKinematics& k = *cycle.kinematics;
    if (!cycle.cycle.confirmed) continue;
    for (int i = k.opening_start; i <= cycle.cycle.end; ++i) {
      const Vector3 p = incisal_in_frame(frame, view, k.opening_start, i);
      if (std::isfinite(p.x) && std::fabs(p.x) > reach) reach = std::fabs(p.x);
      if (std::isfinite(p.y) && p.y > depth) depth = p.y;
    }
  }
  reach *= 1.1L, depth *= 1.05L;
  const long double plot = kSize - 2 * kMargin;
  auto x_of = [&](long double lateral) { return kMargin + (lateral + reach) / (2 * reach) * plot; };
  auto y_of = [&](long double vertical) { return kMargin / 2 + vertical / depth * plot; };
  std::string svg = "<svg class=\"frontal\" width=\"" + px(kSize) + "\" height=\"" + px(kSize) +
                    "\" viewBox=\"0 0 " + px(kSize) + " " + px(kSize) + "\">\n";
  svg += "<g class=\"axis\"><line x1=\"" + px(x_of(0)) + "\" y1=\"" + px(y_of(0)) + "\" x2=\"" +
         px(x_of(0)) + "\" y2=\"" + px(y_of(depth)) + "\"/><line x1=\"" + px(x_of(-reach)) +
         "\" y1=\"" + px(y_of(0)) + "\" x2=\"" + px(x_of(reach)) + "\" y2=\"" + px(y_of(0)) +
         "\"/><text x=\"" + px(x_of(reach)) + "\" y=\"" + px(y_of(0) - 4) +
         "\" text-anchor=\"end\">right " + short_number(reach) + " mm</text><text x=\"" +
         px(x_of(-reach)) + "\" y=\"" + px(y_of(0) - 4) + "\">left</text><text x=\"" +
         px(x_of(0) + 4) + "\" y=\"" + px(y_of(depth)) + "\">opening " + short_number(depth) +
         " mm</text></g>\n";
  std::string rows;
  for (std::size_t j = 0; j < trial.cycles.size(); ++j) {
    const CycleKinematics& k = *trial.cycles[j].kinematics;
    const ChewingCycle& cycle = trial.cycles[j].cycle;
    rows += "<tr><td>" + std::to_string(j + 1) + "</td><td>" + (cycle.confirmed ? "yes" : "no") +
            "</td><td>" + cell(k.opening_ms) + "</td><td>" + cell(trial.cycles[j].duration_ms) +
            "</td><td>" + cell(k.occlusal_ms) + "</td><td>" + number_text(k.vertical_mm) +
            "</td><td>" + number_text(k.lateral_mm) + "</td><td>" + side_name(k.side_kinematic) +
            "</td><td>" + side_name(k.side_emg) + "</td></tr>\n";
    if (!cycle.confirmed) continue;
    std::string d;
    long double last_x = -1, last_y = -1;
    for (int i = k.opening_start; i <= cycle.end; ++i) {
      const Vector3 p = incisal_in_frame(frame, view, k.opening_start, i);
      const long double x = x_of(p.x), y = y_of(p.y);
      if (!std::isfinite(x) || !std::isfinite(y)) continue;
      // Points within a pixel of the last one drawn add nothing to a 1 px line, and at high
      // sampling rates they would make up most of a long recording's page.
      if (!d.empty() && i != cycle.end && std::fabs(x - last_x) < 1 && std::fabs(y - last_y) < 1)
        continue;
      d += (d.empty() ? "M" : "L") + px(x) + " " + px(y);
      last_x = x, last_y = y;
    }
    svg += "<path class=\"loop side-" + side_name(k.side_kinematic) + "\" d=\"" + d +
           "\"><title>cycle " + std::to_string(j + 1) + ", side " + side_name(k.side_kinematic) +
           ", lateral " + number_text(k.lateral_mm) + " mm, vertical " +
           number_text(k.vertical_mm) + " mm</title></path>\n";
  }
  svg += "</svg>\n";
  const KinematicSummary& sum = trial.summary;
  std::string legend =
      "<p class=\"legend\">Frontal plane of the confirmed cycles: <span "
      "class=\"key side-R\"></span>" +
      std::to_string(sum.side_right) + " right <span class=\"key side-L\"></span>" +
      std::to_string(sum.side_left) + " left <span class=\"key side-C\"></span>" +
      std::to_string(sum.side_central) + " central";
  if (sum.side_preference_pct)
    legend += ", side preference " + short_number(*sum.side_preference_pct) + " %";
  legend += "</p>\n";
  return legend + svg + "<details class=\"cycles\">\n<summary>The " +
         std::to_string(trial.cycles.size()) +
         " cycles of this "
         "trial</summary>\n<table>\n<tr><th>cycle</th><th>confirmed</th><th>opening "
         "ms</th><th>closing ms</th><th>occlusal ms</th><th>vertical mm</th><th>lateral "
         "mm</th><th>side (movement)</th><th>side (EMG)</th></tr>\n" +
         rows + "</table>\n</details>\n";
}

std::string panel(int position, const Settings& settings, const Evaluation& evaluation,
                  const TrialEvaluation* chewing, const SampleView& view) {
  const ExperimentEvaluation& x = evaluation.experiments[position];
  const bool trial = chewing != nullptr;
  std::string title =
      "Experiment " + std::to_string(position + 1) + ": " + kExperimentTasks[position];
  if (trial) title += " (" + std::string(trial_label(position)) + ")";
  std::string s = "<section class=\"panel " + std::string(trial ? "trial" : "other") +
                  "\" data-experiment=\"" + std::to_string(position + 1) + "\"";
  if (trial) s += " data-trial=\"" + std::string(trial_label(position)) + "\"";
  s += ">\n";
  if (!trial) s = "<details>\n<summary>" + title + "</summary>\n" + s;
  s += "<h3>" + title + "</h3>\n<p>samples " + std::to_string(x.first_sample) + " to " +
       std::to_string(x.last_sample) + ", threshold crossings " +
       std::to_string(x.threshold_crossings);
  if (trial) s += ", C. " + std::to_string(x.chewing_cycles);
  s += ", maximal distances right/left/incisal " + number_text(x.right_max) + " / " +
       number_text(x.left_max) + " / " + number_text(x.incisal_max) + " mm</p>\n";
  if (x.last_sample < x.first_sample || x.first_sample < 0 ||
      x.last_sample >= evaluation.no_entries) {
    s += "<p>no samples</p>\n";
  } else {
    s += distance_chart(view, x, chewing, settings.dist_threshold);
    if (chewing != nullptr && evaluation.frame.valid)
      s += frontal_plot(*chewing, evaluation.frame, view);
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
    ".panel{margin:12px 0 24px}.legend{margin:4px 0}"
    "svg.chart{display:block;width:100%;height:auto;max-width:1600px;background:#fff}"
    ".axis line{stroke:#444;stroke-width:1}.axis text{font-size:11px;fill:#333}"
    ".axis .label{font-size:12px}"
    ".signal{fill:none;stroke:#1f4e9c;stroke-width:1}"
    ".threshold,.level{stroke:#d35400;stroke-width:1.2;stroke-dasharray:6 3}"
    "rect.cycle.confirmed{fill:#2e9c4a;fill-opacity:.22}"
    "rect.cycle.rejected{fill:#c0392b;fill-opacity:.14}"
    "rect.burst{fill:#8e44ad;fill-opacity:.2}"
    "rect.window.mvc{fill:#f1c40f}rect.window.noise{fill:#16a085}"
    ".mark{fill:none;stroke-width:1.2}.mark.max_end{stroke:#c0392b}.mark.min_start{stroke:#27ae60}"
    ".entry{white-space:nowrap;margin-right:10px}.absent{font-style:italic;color:#555}"
    ".key{display:inline-block;width:14px;height:10px;margin:0 4px 0 0;vertical-align:middle}"
    ".key.signal{border-top:2px solid #1f4e9c;height:0}"
    ".key.confirmed{background:rgba(46,156,74,.4)}.key.rejected{background:rgba(192,57,43,.3)}"
    ".key.threshold,.key.level{border-top:2px dashed #d35400;height:0}"
    ".key.max_end{border-left:2px solid #c0392b}.key.min_start{border-left:2px solid #27ae60}"
    ".key.burst{background:rgba(142,68,173,.35)}.key.mvc{background:#f1c40f}"
    ".key.noise{background:#16a085}"
    "details{margin:6px 0}summary{cursor:pointer;font-weight:600}"
    ".findings{border:1px solid #e0b000;background:#fff8dc;padding:4px 12px;margin:8px 0 16px}"
    ".findings.has-errors{border-color:#c0392b;background:#fdecea}"
    ".findings.none{border-color:#2e9c4a;background:#eefaf0}"
    ".findings li.error b{color:#c0392b}.findings li.warning b{color:#9a6b00}"
    "svg.frontal{display:block;background:#fff}.loop{fill:none;stroke-width:1;opacity:.8}"
    ".loop.side-R{stroke:#1f6fd1}.loop.side-L{stroke:#e67e22}.loop.side-C{stroke:#7f8c8d}"
    ".key.side-R{background:#1f6fd1}.key.side-L{background:#e67e22}.key.side-C{background:#7f8c8d}";

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
                       const Evaluation& evaluation, const SampleView& view) {
  const std::string title = "Check page: " + escaped(file);
  std::string s =
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<meta name=\"viewport\" content=\"width=device-width\">\n<title>" +
      title + "</title>\n<style>" + kStyle + "</style>\n</head>\n<body>\n<h1>" + title + "</h1>\n" +
      findings_banner(evaluation);
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
  for (const TrialEvaluation& trial : evaluation.trials)
    s += panel(trial.position, settings, evaluation, &trial, view);
  s += "<h2>Other experiments</h2>\n";
  for (int k = 0; k < evaluation.no_experiments && k < kFirstChewingTrial; ++k)
    s += panel(k, settings, evaluation, nullptr, view);
  s += "</body>\n</html>\n";
  return s;
}

std::string write_check_page(const std::string& path, const std::string& file,
                             const Settings& settings, const Evaluation& evaluation,
                             const SampleView& view) {
  if (const int error = write_file_safely(path, check_page(file, settings, evaluation, view)))
    return "cannot write page '" + path + "': " + std::strerror(error);
  return "";
}
