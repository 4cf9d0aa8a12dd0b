#include "study/overview.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>

#include "io/safe_file.h"
#include "protocol/protocol.h"
#include "study/check_page.h"
#include "study/html.h"
#include "study/inputs.h"
#include "study/tables.h"

namespace {

enum Group {
  kMvc,
  kNoise,
  kCycles,
  kFrequency,
  kDuration,
  kMasseterAi,
  kTemporalisAi,
  kSide,
  kBorder,
  kClench
};

// The border-movement figures: the label, the role of the rows and their column, in order.
struct BorderFigure {
  const char* label;
  Role role;
  const char* column;
};
constexpr BorderFigure kBorderFigures[] = {{"MO", Role::max_opening, "opening_mm"},
                                           {"LR", Role::laterotrusion_right, "lateral_mm"},
                                           {"LL", Role::laterotrusion_left, "lateral_mm"},
                                           {"PR", Role::protrusion, "protrusion_mm"}};
// The clench figures: the label and the column, in order.
constexpr std::pair<const char*, const char*> kClenchFigures[] = {{"POC M", "poc_masseter_pct"},
                                                                  {"POC T", "poc_temporalis_pct"},
                                                                  {"TC", "torque_pct"},
                                                                  {"AC", "activity_pct"}};

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
// The table's columns in CSS pixels: number, recording, status, errors, warnings (the leading
// columns, which stay in place while the figures scroll across under them); then each figure's.
// A name longer than its column ends in an ellipsis (the whole name on hover).
constexpr int kLeadingColumnWidths[] = {40, 240, 70, 50, 64};
constexpr int kLeadingColumns = 5;
constexpr int kFigureColumnWidth = 60;
constexpr int kRowsPerBlock = 50;
constexpr std::size_t kUnfoldedStrips = 200;  // recordings whose strip plots show unfolded
constexpr long double kJitter = 80;           // width over which a column's points spread

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
    ".settings th,.settings td{text-align:left}p{max-width:1200px}"
    "td.name,td.status,th.name{text-align:left}td.message{text-align:left;"
    "color:rgb(var(--vermillion))}"
    "td.none{color:#aaa}"
    // The table scrolls inside a box as high as the window, both scroll bars in view; its header
    // stays on top and the leading columns at the left.
    ".scroll{overflow:auto;max-width:100%;max-height:calc(100vh - 40px);"
    "border:1px solid #ddd}"
    ".head{position:sticky;top:0;z-index:3;width:max-content}"
    "table.recordings{table-layout:fixed}th[colspan]{white-space:normal;text-align:center}"
    "td.name{overflow:hidden;text-overflow:ellipsis}"
    ".recordings .lead,.recordings tbody td:nth-child(-n+5){position:sticky;z-index:1;"
    "background:#fff}.recordings th.lead{background:#f4f4f4}"
    ".recordings .lead:nth-child(5),.recordings tbody td:nth-child(5){"
    "box-shadow:inset -2px 0 #999}"
    ".block{content-visibility:auto;contain-intrinsic-size:auto 1100px}"
    "figure{content-visibility:auto;contain-intrinsic-size:auto 280px}"
    "td.out,span.out{background:rgb(var(--vermillion) / .2);font-weight:700;"
    "box-shadow:inset 0 0 0 2px rgb(var(--vermillion))}"
    "tr.failed td.status{color:rgb(var(--vermillion));font-weight:700}"
    "tr.errors td.status{color:rgb(var(--vermillion))}"
    "div.strips{display:flex;flex-wrap:wrap;gap:16px}summary{cursor:pointer}"
    "summary h2{display:inline-block;margin:16px 0 8px}"
    "figure{margin:0;flex:0 1 auto}figcaption{font-weight:600}"
    "svg.strip{width:100%;height:auto;display:block;background:#fff}"
    ".axis line{stroke:#444}.axis text{font-size:11px;fill:#333}"
    "circle{fill:rgb(var(--blue) / .5)}"
    "circle.out{fill:rgb(var(--vermillion));stroke:rgb(var(--black));stroke-width:1.5}"
    ".key{display:inline-block;box-sizing:border-box;width:8px;height:8px;border-radius:50%;"
    "margin:0 4px 0 8px;vertical-align:middle;background:rgb(var(--blue) / .5)}"
    ".key.out{width:12px;height:12px;background:rgb(var(--vermillion));"
    "border:1.5px solid rgb(var(--black))}"
    ".failed li{color:rgb(var(--vermillion))}";

// What the page's abbreviations stand for.
constexpr char kTerms[] =
    "<p class=\"terms\"><b>Abbreviations.</b> # the recording's place in the input order; mr, "
    "ml, tr, tl M. (musculus) masseter right and left, M. temporalis right and left; FK1, FK2 "
    "free chewing, RK1, RK2 chewing on the right side, LK1, LK2 chewing on the left side (the "
    "chewing trials), FK, RK, LK both trials of each; border movements from the calibrated rest "
    "position, in the jaw frame: MO maximal opening, LR, LL laterotrusion to the subject's right "
    "(+) and left (&#8722;), PR protrusion; clench indices, the mean over the clenches (not the "
    "reference clench): POC M, POC T percentage overlapping coefficient of the masseters and of "
    "the temporales, TC torque coefficient, AC activity index; MVC maximum voluntary "
    "contraction; EMG "
    "electromyogram; RMS root mean square (the EMG's smoothing); MAD median absolute deviation; "
    "\xC2\xB5V microvolt, Hz hertz (per second), ms millisecond, s second, mm millimetre; UTC "
    "coordinated universal time.</p>\n";

// A group's name with its unit, as a heading writes it.
std::string group_title(const KeyFigureGroup& group) {
  return *group.unit == '\0' ? std::string(group.name)
                             : std::string(group.name) + " (" + group.unit + ")";
}

// A value with its unit, as a point's title writes it: "1.25 Hz"; a count (the one group without
// a unit, the confirmed cycles) as it is said: "8 cycles", "1 cycle".
std::string value_text(const KeyFigureGroup& group, long double value) {
  if (*group.unit == '\0')
    return fixed(value, group.decimals) + (value == 1 ? " cycle" : " cycles");
  return fixed(value, group.decimals) + " " + group.unit;
}

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
    {"confirmed cycles", "", 0},
    {"chewing frequency", "Hz", 2},
    {"chewing duration", "s", 2},
    {"asymmetry index, masseters", "%", 1},
    {"asymmetry index, temporales", "%", 1},
    {"side preference", "%", 1},
    {"border movements", "mm", 1},
    {"clench indices", "%", 1},
};

const std::vector<KeyFigure>& key_figures() {
  static const std::vector<KeyFigure> figures = [] {
    std::vector<KeyFigure> f;
    for (const int group : {kMvc, kNoise})
      for (const char* key : kChannelKeys) f.push_back({group, key});
    for (const char* trial : kTrialLabels) f.push_back({kCycles, trial});
    for (const int group : {kFrequency, kDuration, kMasseterAi, kTemporalisAi, kSide})
      for (const char* condition : kConditionLabels) f.push_back({group, condition});
    for (const BorderFigure& border : kBorderFigures) f.push_back({kBorder, border.label});
    for (const auto& [label, column] : kClenchFigures) f.push_back({kClench, label});
    return f;
  }();
  return figures;
}

namespace {

// A table's records as their fields by column name.
using Fields = std::map<std::string, std::string>;

// The records of a whole table as chew_study writes it (RFC 4180: CRLF-ended records, quoted
// fields with their quotes doubled), named by the header's columns.
std::vector<Fields> records_of(const std::string& table) {
  std::vector<std::vector<std::string>> records;
  std::vector<std::string> fields(1);
  bool quoted = false;
  for (std::size_t k = 0; k < table.size(); ++k) {
    const char c = table[k];
    if (quoted) {
      if (c != '"') {
        fields.back() += c;
      } else if (k + 1 < table.size() && table[k + 1] == '"') {
        fields.back() += '"';
        ++k;
      } else {
        quoted = false;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      fields.emplace_back();
    } else if (c == '\n' || (c == '\r' && k + 1 < table.size() && table[k + 1] == '\n')) {
      // A record ends at LF, or at the CRLF of tables written by earlier versions.
      records.push_back(std::move(fields));
      fields.assign(1, "");
      if (c == '\r') ++k;
    } else {
      fields.back() += c;
    }
  }
  std::vector<Fields> rows;
  for (std::size_t r = 1; r < records.size(); ++r) {
    Fields row;
    for (std::size_t c = 0; c < records[0].size() && c < records[r].size(); ++c)
      row[records[0][c]] = records[r][c];
    rows.push_back(std::move(row));
  }
  return rows;
}

std::string field(const Fields& row, const std::string& column) {
  const auto found = row.find(column);
  return found == row.end() ? "" : found->second;
}

// A field's number; absent where the field is empty or no number.
std::optional<long double> number(const Fields& row, const std::string& column) {
  const std::string text = field(row, column);
  char* end = nullptr;
  const long double value = std::strtold(text.c_str(), &end);
  if (text.empty() || *end != '\0') return std::nullopt;
  return value;
}

int whole(const Fields& row, const std::string& column) {
  return static_cast<int>(number(row, column).value_or(0));
}

// One recording's rows of the tables.
struct Rows {
  std::vector<Fields> experiments, indices, trials, movements, clenches;
  Fields run;
};

KeyValues key_values_of(const Rows& r) {
  KeyValues v;
  // The first value of `rows` that `better` prefers to the one before, starting from `start`;
  // absent when none is preferred to it.
  auto best = [](const std::vector<Fields>& rows, auto&& take, const std::string& column,
                 long double start, auto&& better) {
    std::optional<long double> found;
    for (const Fields& row : rows) {
      if (!take(row)) continue;
      const std::optional<long double> value = number(row, column);
      if (value && better(*value, found ? *found : start)) found = value;
    }
    return found;
  };
  auto experiment_in = [](int first, int last) {
    return [=](const Fields& row) {
      const int k = whole(row, "experiment") - 1;
      return k >= first && k <= last;
    };
  };
  for (const char* channel : kChannelKeys)
    v.push_back(best(r.experiments, experiment_in(kMvcExperiments[0], kMvcExperiments[1]),
                     std::string(channel) + "_mvc_uV", 0,
                     [](long double a, long double b) { return a > b; }));
  for (const char* channel : kChannelKeys)
    v.push_back(best(r.experiments, experiment_in(kFirstChewingTrial, kLastChewingTrial),
                     std::string(channel) + "_noise_uV", kNoNoiseLevel,
                     [](long double a, long double b) { return a < b; }));
  for (int t = 0; t < kChewingTrials; ++t) {
    std::optional<long double> cycles;
    for (const Fields& row : r.experiments)
      if (field(row, "trial") == kTrialLabels[t]) cycles = number(row, "chewing_cycles");
    v.push_back(cycles);
  }
  // A condition has its trials.csv rows when the recording has both its trials; the overview
  // reads the one over all strokes.
  const Fields* condition[kConditions] = {};
  for (const Fields& row : r.trials)
    for (const Condition c : kAllConditions)
      if (field(row, "trial") == kConditionLabels[c] && field(row, "stroke_set") == "all")
        condition[c] = &row;
  auto index = [&](int number_of, const char* muscle, Condition c) -> std::optional<long double> {
    for (const Fields& row : r.indices)
      if (whole(row, "index") == number_of && field(row, "muscle") == muscle &&
          field(row, "condition") == kConditionLabels[c])
        return number(row, "value");
    return std::nullopt;
  };
  const std::optional<long double> rate = number(r.run, "sampling_rate_Hz");
  const bool timed = rate && *rate > 0 && std::isfinite(*rate);
  for (const Condition c : kAllConditions)
    v.push_back(condition[c] && timed ? index(kFrequencyRow, "", c) : std::nullopt);
  for (const Condition c : kAllConditions)
    v.push_back(condition[c] ? index(kDurationRow, "", c) : std::nullopt);
  for (const char* muscle : {"M", "T"})
    for (const Condition c : kAllConditions)
      v.push_back(condition[c] ? index(kAsymmetryRow, muscle, c) : std::nullopt);
  for (const Condition c : kAllConditions)
    v.push_back(condition[c] ? number(*condition[c], "side_preference_pct") : std::nullopt);
  auto role_is = [](Role role) {
    return [role](const Fields& row) { return field(row, "role") == role_name(role); };
  };
  for (const BorderFigure& border : kBorderFigures) {
    // Lateral: the glide furthest to either side; opening and protrusion: the widest.
    const bool lateral = border.role != Role::max_opening && border.role != Role::protrusion;
    std::optional<long double> found;
    for (const Fields& row : r.movements)
      if (const std::optional<long double> value = number(row, border.column);
          value && role_is(border.role)(row) &&
          (!found || (lateral ? std::fabs(*value) > std::fabs(*found) : *value > *found)))
        found = value;
    v.push_back(found);
  }
  // The clench figures: the mean over the clenches, which the reference clench only scales.
  for (const auto& [label, column] : kClenchFigures) {
    long double sum = 0;
    int n = 0;
    for (const Fields& row : r.clenches)
      if (const std::optional<long double> value = number(row, column);
          value && std::isfinite(*value) && role_is(Role::clench)(row))
        sum += *value, ++n;
    v.push_back(n > 0 ? std::optional<long double>(sum / n) : std::nullopt);
  }
  for (auto& value : v)
    if (value && !std::isfinite(*value)) value.reset();
  return v;
}

bool is_file(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

KeyValues key_values(const RecordingRows& rows) {
  Rows r;
  r.experiments = records_of(rows.experiments);
  r.indices = records_of(rows.indices);
  r.trials = records_of(rows.trials);
  r.movements = records_of(rows.movements);
  r.clenches = records_of(rows.clenches);
  const std::vector<Fields> runs = records_of(rows.runs);
  if (!runs.empty()) r.run = runs[0];
  return key_values_of(r);
}

KeyValues key_values(const Evaluation& e, const LabProtocol& protocol) {
  RunFacts facts;
  facts.read = true;
  facts.sampling_rate = e.sampling_rate;
  facts.form = e.form;
  return key_values(RecordingRows{experiments_header() + experiment_rows("", e),
                                  indices_header() + index_rows("", e.indices, e.form),
                                  trials_header() + trial_rows("", e),
                                  runs_header() + run_row(facts, Settings{}, GivenSettings{}),
                                  movements_header() + movement_rows("", e, protocol),
                                  clenches_header() + clench_rows("", e, protocol)});
}

std::vector<OverviewRow> overview_rows(const StudyTables& tables, const std::string& folder,
                                       const std::string& link_prefix, int* missing) {
  std::map<std::string, Rows> by_file;
  for (Fields& row : records_of(tables.experiments))
    by_file[field(row, "file")].experiments.push_back(std::move(row));
  for (Fields& row : records_of(tables.indices))
    by_file[field(row, "file")].indices.push_back(std::move(row));
  for (Fields& row : records_of(tables.trials))
    by_file[field(row, "file")].trials.push_back(std::move(row));
  for (Fields& row : records_of(tables.movements))
    by_file[field(row, "file")].movements.push_back(std::move(row));
  for (Fields& row : records_of(tables.clenches))
    by_file[field(row, "file")].clenches.push_back(std::move(row));
  std::vector<OverviewRow> rows;
  for (const Fields& run : records_of(tables.runs)) {
    OverviewRow row;
    row.file = field(run, "file");
    row.status = field(run, "status");
    row.ok = row.status == "ok";
    row.errors = whole(run, "errors");
    row.warnings = whole(run, "warnings");
    const std::string report = field(run, "report");
    if (row.ok) {
      for (const auto& [path, name] :
           {std::pair{&row.report, report}, std::pair{&row.page, check_page_name(report)}}) {
        if (is_file(in_folder(folder, name)))
          *path = link_prefix + name;
        else
          ++*missing;
      }
      Rows& of_file = by_file[row.file];
      of_file.run = run;
      row.values = key_values_of(of_file);
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

Settings settings_of_runs(const std::string& runs, std::string* version) {
  Settings s;
  *version = kVersion;
  const std::vector<Fields> rows = records_of(runs);
  if (rows.empty()) return s;
  const Fields& run = rows[0];
  s.rms_time = static_cast<long long>(number(run, "rms_time_ms").value_or(s.rms_time));
  s.mvc_time = static_cast<long long>(number(run, "mvc_time_ms").value_or(s.mvc_time));
  s.nl_time = static_cast<long long>(number(run, "nl_time_ms").value_or(s.nl_time));
  s.emg_threshold = number(run, "emg_threshold").value_or(s.emg_threshold);
  s.dist_threshold = number(run, "dist_threshold_mm").value_or(s.dist_threshold);
  *version = field(run, "version");
  return s;
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
                          const std::string& date, const std::string& version) {
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
      std::string(kPaletteStyle) + kStyle + "</style>\n</head>\n<body>\n<h1>Study overview</h1>\n";
  auto setting = [](const std::string& name, const std::string& value) {
    return "<tr><th>" + name + "</th><td>" + value + "</td></tr>\n";
  };
  s += "<table class=\"settings\">\n" +
       setting("Recordings", "<span class=\"count-recordings\">" + std::to_string(rows.size()) +
                                 "</span>: " + std::to_string(ok) + " ok, " +
                                 std::to_string(with_warnings) + " with warnings, " +
                                 std::to_string(with_errors) + " with errors, " +
                                 std::to_string(failed) + " failed") +
       setting("Evaluator", "chew_study " + html_escaped(version)) + setting("Written", date) +
       setting("Settings", "RMS window " + std::to_string(settings.rms_time) + " ms, MVC window " +
                               std::to_string(settings.mvc_time) + " ms, noise-level window " +
                               std::to_string(settings.nl_time) + " ms, EMG threshold " +
                               short_number(settings.emg_threshold * 100) +
                               " % of the MVC, distance threshold " +
                               fixed(settings.dist_threshold, 2) + " mm") +
       "</table>\n";
  if (!failures.empty())
    s += "<h2>Failed recordings</h2>\n<ul class=\"failed\">\n" + failures + "</ul>\n";
  s += kTerms;
  s += "<p>A value more than " + short_number(kOutlierZ) +
       " robust z-scores from the study's median is <span class=\"out\">marked</span> (bold and "
       "framed): z = (value &#8722; median) / (1.4826 &#215; MAD) over the recordings that have "
       "the value (share/doc/chew_eval/columns.md, &#8220;The study overview&#8221;). Each name "
       "leads to the recording's check page. The table scrolls across under its leading "
       "columns.</p>\n";

  // The table: two header rows, a group over its figures' labels, then the rows.
  // Columns of fixed widths, so the table is laid out without measuring every cell, and in
  // blocks of rows the browser lays out only when they scroll into view: a study of a thousand
  // recordings opens as fast as a small one. The header is a table of its own above the blocks,
  // on the same columns, so it stays in view over all of them.
  int table_width = static_cast<int>(n) * kFigureColumnWidth;
  std::string columns = "<colgroup>";
  for (const int column : kLeadingColumnWidths) {
    columns += "<col style=\"width:" + std::to_string(column) + "px\">";
    table_width += column;
  }
  for (std::size_t k = 0; k < n; ++k)
    columns += "<col style=\"width:" + std::to_string(kFigureColumnWidth) + "px\">";
  columns += "</colgroup>\n";
  // Each leading column's distance from the left edge, where it stays; a cell scrolled into
  // view lands beside them.
  std::string leading =
      ".head,.block,table.recordings{width:" + std::to_string(table_width) + "px}";
  int left = 0;
  for (int c = 0; c < kLeadingColumns; left += kLeadingColumnWidths[c++]) {
    const std::string nth = ":nth-child(" + std::to_string(c + 1) + ")";
    leading += ".recordings .lead" + nth + ",.recordings tbody td" + nth +
               "{left:" + std::to_string(left) + "px}";
  }
  leading += ".scroll{scroll-padding-left:" + std::to_string(left) + "px}";
  s += "<style>" + leading + "</style>\n";
  const std::string table = "<div class=\"block\"><table class=\"recordings\">\n" + columns;
  s += "<div class=\"scroll\">\n<div class=\"head\"><table class=\"recordings\">\n" + columns +
       "<thead>\n<tr><th rowspan=\"2\" class=\"lead\">#</th>"
       "<th rowspan=\"2\" class=\"lead name\">recording</th><th rowspan=\"2\" "
       "class=\"lead\">status</th><th rowspan=\"2\" class=\"lead\">errors</th>"
       "<th rowspan=\"2\" class=\"lead\">warnings</th>";
  for (std::size_t k = 0; k < n;) {
    std::size_t end = k;
    while (end < n && figures[end].group == figures[k].group) ++end;
    s += "<th colspan=\"" + std::to_string(end - k) + "\">" +
         group_title(kKeyFigureGroups[figures[k].group]) + "</th>";
    k = end;
  }
  s += "</tr>\n<tr>";
  for (const KeyFigure& figure : figures) s += "<th>" + figure.label + "</th>";
  s += "</tr>\n</thead>\n</table></div>\n" + table + "<tbody>\n";
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const OverviewRow& row = rows[r];
    const std::string status = !row.ok            ? "failed"
                               : row.errors > 0   ? "errors"
                               : row.warnings > 0 ? "warnings"
                                                  : "ok";
    if (r > 0 && r % kRowsPerBlock == 0) s += "</tbody>\n</table></div>\n" + table + "<tbody>\n";
    s += "<tr class=\"" + status + "\"><td>" + std::to_string(r + 1) + "</td><td class=\"name\">";
    const std::string name = html_escaped(row.file);
    if (row.ok && !row.page.empty()) {
      s += "<a href=\"" + link_target(row.page) + "\" title=\"" + name + "\">" + name + "</a>";
    } else {
      s += "<span title=\"" + name + "\">" + name + "</span>";
    }
    if (row.ok && !row.report.empty())
      s += " (<a href=\"" + link_target(row.report) + "\">report</a>)";
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
  // The strip plots of a large study are folded: drawing its many points at once would keep the
  // page from opening fast.
  const bool folded = rows.size() > kUnfoldedStrips;
  s += std::string(folded ? "<details class=\"strips\">" : "<details class=\"strips\" open>") +
       "<summary><h2>Key figures across the study</h2></summary>\n<p class=\"legend\">Each "
       "point a recording's value:<span class=\"key\"></span>a value, <span class=\"key "
       "out\"></span>a marked value (larger, framed in black, drawn on top). Hovering a point "
       "names the recording.</p>\n<div class=\"strips\">\n";
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
    std::string svg =
        "<figure style=\"flex-basis:" + px(width) + "px\"><figcaption>" + group_title(group) +
        "</figcaption>\n<svg class=\"strip\" viewBox=\"0 0 " + px(width) + " " + px(kStripHeight) +
        "\" role=\"img\">\n<g class=\"axis\"><line x1=\"" + px(kStripLeft) + "\" y1=\"" +
        px(kStripTop) + "\" x2=\"" + px(kStripLeft) + "\" y2=\"" + px(kStripTop + plot) + "\"/>";
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
                                   value_text(group, value) + (is_out(z) ? ", " + z_text(z) : "") +
                                   "</title></circle>";
        (is_out(z) ? marked : points) += circle;
      }
    }
    // The marked points last, so they lie on top.
    s += svg + "</g>\n" + points + marked + "\n</svg>\n</figure>\n";
    k = end;
  }
  s += "</div>\n</details>\n</body>\n</html>\n";
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
                                const Settings& settings, const std::string& version) {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  char date[64];
  std::strftime(date, sizeof date, "%Y-%m-%d %H:%M UTC", &utc);
  const std::string path = in_folder(folder, "index.html");
  if (const int error = write_file_safely(path, overview_page(rows, settings, date, version)))
    return "cannot write page '" + path + "': " + std::strerror(error);
  return "";
}
