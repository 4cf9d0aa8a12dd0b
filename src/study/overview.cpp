#include "study/overview.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "io/safe_file.h"
#include "protocol/protocol.h"
#include "study/check_page.h"
#include "study/html.h"
#include "study/inputs.h"

namespace {

enum Group { kMvc, kNoise, kCycles, kFrequency, kDuration, kMasseterAi, kTemporalisAi, kSide };

long double median_of(std::vector<long double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// A path in the output folder as a link target: every byte but the unreserved ones and the
// folders' '/' percent-encoded, so names with blanks, '#', '?' or '%' lead to the file they name.
std::string link_target(const std::string& name) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const unsigned char c : name) {
    if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '-' ||
        c == '.' || c == '_' || c == '~' || c == '/') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

// Strip-plot geometry in CSS pixels (the SVG scales with the page).
constexpr long double kStripLeft = 64, kStripColumn = 120, kStripRight = 12;
constexpr long double kStripTop = 12, kStripHeight = 240, kStripBottom = 28;
// The table's columns in CSS pixels: number, recording, status, errors, warnings; then each
// figure's. A name longer than its column ends in an ellipsis (the whole name on hover).
constexpr int kLeadingColumnWidths[] = {40, 260, 70, 50, 64};
constexpr int kFigureColumnWidth = 62;
constexpr int kRowsPerBlock = 50;
constexpr long double kJitter = 80;  // width over which a column's points spread

// A fixed spread across the column for the n-th recording (the golden-ratio sequence), so the
// plot is the same on every run and points of equal value stay apart.
long double jitter(std::size_t n) {
  const long double golden = 0.6180339887498948482L;
  const long double f = static_cast<long double>(n + 1) * golden;
  return (f - std::floor(f) - 0.5L) * kJitter;
}

std::string z_text(long double z) { return "robust z " + fixed(z, 1); }

constexpr char kStyle[] =
    "body{font:14px sans-serif;margin:16px;color:#222}"
    "table{border-collapse:collapse}th,td{padding:2px 6px;border-bottom:1px solid #ddd;"
    "text-align:right;white-space:nowrap}th{font-weight:600;background:#f4f4f4}"
    ".settings th,.settings td{text-align:left}"
    "td.name,td.status,th.name{text-align:left}td.message{text-align:left;color:#c0392b}"
    "td.none{color:#aaa}"
    ".scroll{overflow-x:auto;max-width:100%}table.recordings{table-layout:fixed;width:max-content}"
    "td.name{overflow:hidden;text-overflow:ellipsis}"
    ".block{content-visibility:auto;contain-intrinsic-size:auto 1100px}"
    "figure{content-visibility:auto;contain-intrinsic-size:auto 280px}"
    "td.out,span.out{background:#f9d0c4;font-weight:700;outline:2px solid #c0392b}"
    "tr.failed td.status{color:#c0392b;font-weight:700}"
    "tr.errors td.status{color:#c0392b}tr.warnings td.status{color:#9a6b00}"
    ".strips{display:flex;flex-wrap:wrap;gap:16px}"
    "figure{margin:0;flex:0 1 auto}figcaption{font-weight:600}"
    "svg.strip{width:100%;height:auto;display:block;background:#fff}"
    ".axis line{stroke:#444}.axis text{font-size:11px;fill:#333}"
    "circle{fill:#1f4e9c;fill-opacity:.5}circle.out{fill:#c0392b;fill-opacity:1}"
    ".failed li{color:#c0392b}";

}  // namespace

RobustScale robust_scale(const std::vector<long double>& values) {
  std::vector<long double> finite;
  for (const long double v : values)
    if (std::isfinite(v)) finite.push_back(v);
  RobustScale s;
  if (finite.empty()) return s;
  s.median = median_of(finite);
  std::vector<long double> deviations;
  long double sum = 0;
  for (const long double v : finite) {
    deviations.push_back(std::fabs(v - s.median));
    sum += deviations.back();
  }
  const long double mad = median_of(deviations);
  s.scale =
      mad > 0 ? kMadToSd * mad : kMeanDeviationToSd * sum / static_cast<long double>(finite.size());
  return s;
}

long double robust_z(long double value, const RobustScale& scale) {
  return scale.scale > 0 ? (value - scale.median) / scale.scale : 0;
}

const std::vector<KeyFigureGroup> kKeyFigureGroups = {
    {"MVC", kMicrovolt, 2},
    {"noise level", kMicrovolt, 2},
    {"confirmed cycles", "cycles", 0},
    {"chewing frequency", "Hz", 2},
    {"chewing duration", "s", 2},
    {"asymmetry index, masseters", "%", 1},
    {"asymmetry index, temporales", "%", 1},
    {"side preference", "%", 1},
};

const std::vector<KeyFigure>& key_figures() {
  static const std::vector<KeyFigure> figures = [] {
    std::vector<KeyFigure> f;
    for (const int group : {kMvc, kNoise})
      for (const char* key : kChannelKeys) f.push_back({group, key});
    for (const char* trial : kTrialLabels) f.push_back({kCycles, trial});
    for (const int group : {kFrequency, kDuration, kMasseterAi, kTemporalisAi, kSide})
      for (const char* condition : kConditionLabels) f.push_back({group, condition});
    return f;
  }();
  return figures;
}

KeyValues key_values(const Evaluation& e) {
  KeyValues v;
  const int channels = e.form.emg_channels;
  // The run-wide MVC and noise level of a channel are measurements only where a window of some
  // experiment they come from qualified: the clenching experiments' for the MVC, the chewing
  // trials' for the noise level. Without one the evaluator holds its starting value, MVC 0 and
  // noise level kNoNoiseLevel (the report's 1000.00), which are no values of the recording.
  using Windows = EmgWindow(ExperimentEvaluation::*)[kChannels];
  auto windowed = [&](int first, int last, Windows windows, int c) {
    for (int k = first; k <= last && k < e.no_experiments; ++k)
      if ((e.experiments[k].*windows)[c].found) return true;
    return false;
  };
  for (int c = 0; c < kChannels; ++c) {
    const bool measured = c < channels && windowed(kMvcExperiments[0], kMvcExperiments[1],
                                                   &ExperimentEvaluation::mvc_window, c);
    v.push_back(measured ? std::optional<long double>(e.run_mvc[c]) : std::nullopt);
  }
  for (int c = 0; c < kChannels; ++c) {
    const bool measured = c < channels && windowed(kFirstChewingTrial, kLastChewingTrial,
                                                   &ExperimentEvaluation::nl_window, c);
    v.push_back(measured ? std::optional<long double>(e.run_nl[c]) : std::nullopt);
  }
  std::optional<long double> cycles[kChewingTrials];
  for (const TrialEvaluation& trial : e.trials)
    cycles[trial.position - kFirstChewingTrial] = e.experiments[trial.position].chewing_cycles;
  for (const auto& count : cycles) v.push_back(count);
  // The frequency and duration rows hold one value per condition, the asymmetry row the
  // masseters' three and then the temporales' three.
  auto per_condition = [&](auto value_of) {
    for (const Condition c : kAllConditions)
      v.push_back(e.conditions[c] ? value_of(c) : std::nullopt);
  };
  using Value = std::optional<long double>;
  // Without a sampling rate (no Frequency header) every chewing frequency comes out 0 Hz and
  // every duration infinite: neither is a value of the recording.
  const bool timed = e.sampling_rate > 0 && std::isfinite(e.sampling_rate);
  per_condition(
      [&](Condition c) { return timed ? Value(e.indices.row[kFrequencyRow][c]) : std::nullopt; });
  per_condition([&](Condition c) { return Value(e.indices.row[kDurationRow][c]); });
  per_condition([&](Condition c) { return Value(e.indices.row[kAsymmetryRow][c]); });
  per_condition([&](Condition c) {
    return channels == kChannels ? Value(e.indices.row[kAsymmetryRow][kConditions + c])
                                 : std::nullopt;
  });
  per_condition([&](Condition c) { return e.conditions[c]->side_preference_pct; });
  for (auto& value : v)
    if (value && !std::isfinite(*value)) value.reset();
  return v;
}

std::string key_values_text(const KeyValues& values) {
  std::string text;
  for (const auto& value : values) {
    char buffer[64] = "-";
    if (value) std::snprintf(buffer, sizeof buffer, "%La", *value);
    text += (text.empty() ? "" : " ") + std::string(buffer);
  }
  return text;
}

KeyValues key_values_from_text(const std::string& text) {
  KeyValues values;
  const char* p = text.c_str();
  while (*p != '\0') {
    while (*p == ' ') ++p;
    if (*p == '\0') break;
    if (*p == '-' && (p[1] == ' ' || p[1] == '\0')) {
      values.emplace_back();
      ++p;
      continue;
    }
    char* end = nullptr;
    const long double value = std::strtold(p, &end);
    if (end == p) break;
    values.emplace_back(value);
    p = end;
  }
  return values;
}

std::string overview_page(const std::vector<OverviewRow>& rows, const Settings& settings,
                          const std::string& date) {
  const std::vector<KeyFigure>& figures = key_figures();
  const std::size_t n = figures.size();
  // A recording's value of figure k; absent also where it is not finite, which no measurement is.
  auto value_of = [](const OverviewRow& row, std::size_t k) -> std::optional<long double> {
    if (!row.ok || k >= row.values.size() || !row.values[k] || !std::isfinite(*row.values[k]))
      return std::nullopt;
    return row.values[k];
  };
  // Each figure's robust scale over the recordings that have it.
  std::vector<RobustScale> scales(n);
  for (std::size_t k = 0; k < n; ++k) {
    std::vector<long double> values;
    for (const OverviewRow& row : rows)
      if (const auto value = value_of(row, k)) values.push_back(*value);
    scales[k] = robust_scale(values);
  }
  auto is_out = [&](long double z) { return std::fabs(z) > kOutlierZ; };

  int ok = 0, with_warnings = 0, with_errors = 0, failed = 0;
  std::string failures;
  for (const OverviewRow& row : rows) {
    if (!row.ok) {
      ++failed;
      failures += "<li>" + html_escaped(row.file) + ": " + html_escaped(row.status) + "</li>\n";
    } else {
      ++(row.errors > 0 ? with_errors : row.warnings > 0 ? with_warnings : ok);
    }
  }

  std::string s =
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<meta name=\"viewport\" content=\"width=device-width\">\n<title>Study overview</title>\n"
      "<style>" +
      std::string(kStyle) + "</style>\n</head>\n<body>\n<h1>Study overview</h1>\n";
  auto setting = [](const std::string& name, const std::string& value) {
    return "<tr><th>" + name + "</th><td>" + value + "</td></tr>\n";
  };
  s += "<table class=\"settings\">\n" +
       setting("Recordings", "<span class=\"count-recordings\">" + std::to_string(rows.size()) +
                                 "</span>: " + std::to_string(ok) + " ok, " +
                                 std::to_string(with_warnings) + " with warnings, " +
                                 std::to_string(with_errors) + " with errors, " +
                                 std::to_string(failed) + " failed") +
       setting("Evaluator", std::string("chew_study ") + kVersion) + setting("Written", date) +
       setting("Settings", "RMS window " + std::to_string(settings.rms_time) + " ms, MVC window " +
                               std::to_string(settings.mvc_time) + " ms, noise-level window " +
                               std::to_string(settings.nl_time) + " ms, EMG threshold " +
                               short_number(settings.emg_threshold * 100) +
                               " % of the MVC, distance threshold " +
                               fixed(settings.dist_threshold, 2) + " mm") +
       "</table>\n";
  if (!failures.empty())
    s += "<h2>Failed recordings</h2>\n<ul class=\"failed\">\n" + failures + "</ul>\n";
  s += "<p>A value more than " + short_number(kOutlierZ) +
       " robust z-scores from the study's median is <span class=\"out\">marked</span>: z = (value "
       "&#8722; median) / (1.4826 &#215; MAD) over the recordings that have the value "
       "(share/doc/chew_eval/columns.md, "
       "&#8220;The study overview&#8221;). Each name leads to the recording's check page.</p>\n";

  // The table: two header rows, a group over its figures' labels.
  // Columns of fixed widths, so the table is laid out without measuring every cell, and in
  // blocks of rows the browser lays out only when they scroll into view: a study of a thousand
  // recordings opens as fast as a small one.
  std::string columns = "<colgroup>";
  for (const int width : kLeadingColumnWidths)
    columns += "<col style=\"width:" + std::to_string(width) + "px\">";
  for (std::size_t k = 0; k < n; ++k)
    columns += "<col style=\"width:" + std::to_string(kFigureColumnWidth) + "px\">";
  columns += "</colgroup>\n";
  const std::string table = "<div class=\"block\"><table class=\"recordings\">\n" + columns;
  s += "<div class=\"scroll\">\n" + table +
       "<thead>\n<tr><th rowspan=\"2\">#</th>"
       "<th rowspan=\"2\" class=\"name\">recording</th><th rowspan=\"2\">status</th><th "
       "rowspan=\"2\">errors</th>"
       "<th rowspan=\"2\">warnings</th>";
  for (std::size_t k = 0; k < n;) {
    std::size_t end = k;
    while (end < n && figures[end].group == figures[k].group) ++end;
    const KeyFigureGroup& group = kKeyFigureGroups[figures[k].group];
    s += "<th colspan=\"" + std::to_string(end - k) + "\">" + group.name + " (" + group.unit +
         ")</th>";
    k = end;
  }
  s += "</tr>\n<tr>";
  for (const KeyFigure& figure : figures) s += "<th>" + figure.label + "</th>";
  s += "</tr>\n</thead>\n<tbody>\n";
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const OverviewRow& row = rows[r];
    const std::string status = !row.ok            ? "failed"
                               : row.errors > 0   ? "errors"
                               : row.warnings > 0 ? "warnings"
                                                  : "ok";
    if (r > 0 && r % kRowsPerBlock == 0) s += "</tbody>\n</table></div>\n" + table + "<tbody>\n";
    s += "<tr class=\"" + status + "\"><td>" + std::to_string(r + 1) + "</td><td class=\"name\">";
    if (row.ok) {
      s += "<a href=\"" + link_target(row.page) + "\" title=\"" + html_escaped(row.file) + "\">" +
           html_escaped(row.file) + "</a> (<a href=\"" + link_target(row.report) + "\">report</a>)";
    } else {
      s += html_escaped(row.file);
    }
    s += "</td><td class=\"status\">" + status + "</td>";
    if (!row.ok) {
      s += "<td></td><td></td><td class=\"message\" colspan=\"" + std::to_string(n) + "\">" +
           html_escaped(row.status) + "</td></tr>\n";
      continue;
    }
    s += "<td>" + std::to_string(row.errors) + "</td><td>" + std::to_string(row.warnings) + "</td>";
    for (std::size_t k = 0; k < n; ++k) {
      const std::optional<long double> present = value_of(row, k);
      if (!present) {
        s += "<td class=\"none\">&#8211;</td>";
        continue;
      }
      const long double value = *present;
      const long double z = robust_z(value, scales[k]);
      const std::string text = fixed(value, kKeyFigureGroups[figures[k].group].decimals);
      s += is_out(z) ? "<td class=\"out\" title=\"" + z_text(z) + "\">" + text + "</td>"
                     : "<td>" + text + "</td>";
    }
    s += "</tr>\n";
  }
  s += "</tbody>\n</table></div>\n</div>\n";

  // A strip plot per group: a column per figure, every recording's value a point, named by its
  // row and file name (the folders, repeated at every point, would make up much of the page).
  std::vector<std::string> point_names;
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const std::size_t slash = rows[r].file.find_last_of('/');
    point_names.push_back(
        "#" + std::to_string(r + 1) + " " +
        html_escaped(slash == std::string::npos ? rows[r].file : rows[r].file.substr(slash + 1)));
  }
  s += "<h2>Key figures across the study</h2>\n<div class=\"strips\">\n";
  for (std::size_t k = 0; k < n;) {
    std::size_t end = k;
    while (end < n && figures[end].group == figures[k].group) ++end;
    const KeyFigureGroup& group = kKeyFigureGroups[figures[k].group];
    long double low = INFINITY, high = -INFINITY;
    for (const OverviewRow& row : rows)
      for (std::size_t f = k; f < end; ++f)
        if (const auto value = value_of(row, f))
          low = std::min(low, *value), high = std::max(high, *value);
    if (!(low <= high)) low = 0, high = 1;
    if (low > 0 && low < high / 2) low = 0;  // a scale from 0 where that costs little
    if (high - low <= 0) low -= 1, high += 1;
    const long double step = tick_step(high - low);
    const long double bottom_value = std::floor(low / step) * step;
    const long double top_value = std::ceil(high / step) * step;
    const long double width = kStripLeft + (end - k) * kStripColumn + kStripRight;
    const long double plot = kStripHeight - kStripTop - kStripBottom;
    auto y = [&](long double v) {
      return kStripTop + plot - (v - bottom_value) / (top_value - bottom_value) * plot;
    };
    // Each plot at its own width, so every column and label has the same size on the page.
    std::string svg = "<figure style=\"flex-basis:" + px(width) + "px\"><figcaption>" +
                      std::string(group.name) + " (" + group.unit +
                      ")</figcaption>\n<svg class=\"strip\" viewBox=\"0 0 " + px(width) + " " +
                      px(kStripHeight) + "\" role=\"img\">\n<g class=\"axis\"><line x1=\"" +
                      px(kStripLeft) + "\" y1=\"" + px(kStripTop) + "\" x2=\"" + px(kStripLeft) +
                      "\" y2=\"" + px(kStripTop + plot) + "\"/>";
    for (long double v = bottom_value; v <= top_value + step / 2; v += step) {
      svg += "<line x1=\"" + px(kStripLeft - 4) + "\" y1=\"" + px(y(v)) + "\" x2=\"" +
             px(kStripLeft) + "\" y2=\"" + px(y(v)) + "\"/><text x=\"" + px(kStripLeft - 6) +
             "\" y=\"" + px(y(v) + 4) + "\" text-anchor=\"end\">" + short_number(v) + "</text>";
    }
    std::string points, marked;
    for (std::size_t f = k; f < end; ++f) {
      const long double centre = kStripLeft + (f - k + 0.5L) * kStripColumn;
      svg += "<text x=\"" + px(centre) + "\" y=\"" + px(kStripHeight - 8) +
             "\" text-anchor=\"middle\">" + figures[f].label + "</text>";
      for (std::size_t r = 0; r < rows.size(); ++r) {
        const std::optional<long double> present = value_of(rows[r], f);
        if (!present) continue;
        const long double value = *present;
        const long double z = robust_z(value, scales[f]);
        const std::string circle = "<circle" + std::string(is_out(z) ? " class=\"out\"" : "") +
                                   " cx=\"" + px(centre + jitter(r)) + "\" cy=\"" + px(y(value)) +
                                   "\" r=\"" + (is_out(z) ? "5" : "3") + "\"><title>" +
                                   point_names[r] + ", " + figures[f].label + ": " +
                                   fixed(value, group.decimals) + " " + group.unit +
                                   (is_out(z) ? ", " + z_text(z) : "") + "</title></circle>";
        (is_out(z) ? marked : points) += circle;
      }
    }
    // The marked points last, so they lie on top.
    s += svg + "</g>\n" + points + marked + "\n</svg>\n</figure>\n";
    k = end;
  }
  s += "</div>\n</body>\n</html>\n";
  return s;
}

OverviewRow overview_row(const Recording& recording, const RecordingTables& tables) {
  OverviewRow row;
  row.file = recording.path;
  row.report = recording.report;
  row.page = check_page_name(recording.report);
  row.ok = tables.ok;
  row.status = tables.status;
  row.errors = tables.errors;
  row.warnings = tables.warnings;
  if (tables.ok) row.values = key_values_from_text(tables.key_figures);
  return row;
}

std::string write_overview_page(const std::string& folder, const std::vector<OverviewRow>& rows,
                                const Settings& settings) {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  char date[64];
  std::strftime(date, sizeof date, "%Y-%m-%d %H:%M UTC", &utc);
  const std::string path = in_folder(folder, "index.html");
  if (const int error = write_file_safely(path, overview_page(rows, settings, date)))
    return "cannot write page '" + path + "': " + std::strerror(error);
  return "";
}
