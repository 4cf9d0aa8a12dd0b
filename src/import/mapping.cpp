#include "import/mapping.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

const char* const kMappingPointKeys[kImportPoints] = {"right", "left", "incisal", "molar1",
                                                      "molar2"};
const char* const kMappingChannelKeys[kImportChannels] = {"masseter_right", "masseter_left",
                                                          "temporalis_right", "temporalis_left"};

namespace {

// A calibration holds x, y and z of three or five points.
constexpr int kThreePointValues = 9;
constexpr int kFivePointValues = 15;

std::string trim(const std::string& s) {
  const std::size_t first = s.find_first_not_of(" \t\r");
  if (first == std::string::npos) return "";
  return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

// Words separated by blanks; "double quotes" keep a word with blanks whole.
std::vector<std::string> words(const std::string& s) {
  std::vector<std::string> out;
  std::size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    if (i >= s.size()) break;
    std::string word;
    if (s[i] == '"') {
      const std::size_t end = s.find('"', i + 1);
      word = s.substr(i + 1, (end == std::string::npos ? s.size() : end) - i - 1);
      i = end == std::string::npos ? s.size() : end + 1;
    } else {
      while (i < s.size() && s[i] != ' ' && s[i] != '\t') word += s[i++];
    }
    out.push_back(word);
  }
  return out;
}

class Parser {
 public:
  Parser(Mapping& m, const std::string& path) : m_(m), path_(path) {}

  void line(int number, const std::string& text) {
    line_ = number;
    const std::size_t hash = text.find('#');
    const std::string content = trim(hash == std::string::npos ? text : text.substr(0, hash));
    if (content.empty()) return;
    const std::size_t equals = content.find('=');
    if (equals == std::string::npos) fail("'" + content + "' is no 'key = value' line");
    key_ = trim(content.substr(0, equals));
    value_ = trim(content.substr(equals + 1));
    if (value_.empty()) fail("no value");
    take();
  }

  [[noreturn]] void fail(const std::string& what) const {
    throw ImportError(path_ + ":" + std::to_string(line_) + ": " +
                      (key_.empty() ? "" : key_ + ": ") + what);
  }

 private:
  double number(const std::string& text) const {
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || errno == ERANGE || v != v)
      fail("'" + text + "' is not a number");
    return v;
  }
  std::vector<double> numbers(const std::vector<std::string>& list, std::size_t from) const {
    std::vector<double> out;
    for (std::size_t i = from; i < list.size(); ++i) out.push_back(number(list[i]));
    return out;
  }
  bool yes_no() const {
    if (value_ == "yes") return true;
    if (value_ == "no") return false;
    fail("'" + value_ + "': yes or no");
  }

  void take() {
    const std::vector<std::string> list = words(value_);
    for (int p = 0; p < kImportPoints; ++p) {
      if (key_ != kMappingPointKeys[p]) continue;
      if (list.size() != 3) fail("three columns (x y z), not " + std::to_string(list.size()));
      m_.point[p] = list;
      return;
    }
    for (int c = 0; c < kImportChannels; ++c) {
      if (key_ != kMappingChannelKeys[c]) continue;
      m_.channel[c] = value_.front() == '"' && list.size() == 1 ? list[0] : value_;
      return;
    }
    if (key_ == "person") {
      m_.person = value_;
    } else if (key_ == "sex") {
      m_.sex = value_;
    } else if (key_ == "born") {
      m_.born = value_;
    } else if (key_ == "created") {
      m_.created = value_;
    } else if (key_ == "positions") {
      m_.positions.push_back(value_);
    } else if (key_ == "emg") {
      m_.emg.push_back(value_);
    } else if (key_ == "delimiter") {
      const char* names[] = {"auto", "comma", "semicolon", "tab", "blank"};
      for (int i = 0; i < 5; ++i)
        if (value_ == names[i]) m_.delimiter = static_cast<Delimiter>(i);
      if (value_ != names[static_cast<int>(m_.delimiter)])
        fail("'" + value_ + "': auto, comma, semicolon, tab or blank");
    } else if (key_ == "decimal") {
      if (value_ != "point" && value_ != "comma") fail("'" + value_ + "': point or comma");
      m_.decimal_comma = value_ == "comma";
    } else if (key_ == "header") {
      m_.header = yes_no();
    } else if (key_ == "skip") {
      const double v = number(value_);
      if (v < 0 || v != static_cast<int>(v)) fail("'" + value_ + "': a count of lines");
      m_.skip = static_cast<int>(v);
    } else if (key_ == "rate") {
      m_.rate = number(value_);
      if (!(m_.rate > 0)) fail("'" + value_ + "': a rate above 0 Hz");
    } else if (key_ == "time") {
      m_.time = list.size() == 1 ? list[0] : value_;
    } else if (key_ == "time_unit") {
      if (value_ != "s" && value_ != "ms") fail("'" + value_ + "': s or ms");
      m_.time_scale = value_ == "s" ? 1 : 0.001;
    } else if (key_ == "position_unit") {
      if (!position_unit(value_, m_.position_factor))
        fail("unknown unit '" + value_ + "': mm, cm, m, um or in");
    } else if (key_ == "emg_unit") {
      if (!emg_unit(value_, m_.emg_factor)) fail("unknown unit '" + value_ + "': uV, mV, V or nV");
    } else if (key_ == "aux") {
      if (list.size() != 3) fail("three columns, not " + std::to_string(list.size()));
      m_.aux = list;
    } else if (key_ == "offset") {
      m_.offset = number(value_);
    } else if (key_ == "experiments") {
      experiments(list);
    } else if (key_ == "calibration") {
      calibration(list);
    } else {
      fail("unknown key (chew_import --template lists the keys)");
    }
  }

  void experiments(const std::vector<std::string>& list) {
    const std::string& mode = list[0];
    if (mode == "one" && list.size() == 1) {
      m_.experiments = ExperimentMode::one;
    } else if (mode == "times" && list.size() > 1) {
      m_.experiments = ExperimentMode::times;
      m_.experiment_times = numbers(list, 1);
    } else if (mode == "column" && list.size() == 2) {
      m_.experiments = ExperimentMode::column;
      m_.experiment_column = list[1];
    } else if (mode == "files" && list.size() == 1) {
      m_.experiments = ExperimentMode::files;
    } else if (mode == "annotations") {
      m_.experiments = ExperimentMode::annotations;
      m_.annotation_text = trim(value_.substr(std::strlen("annotations")));
    } else {
      fail("'" + value_ + "': one, times T1 T2 ..., column NAME, files or annotations [TEXT]");
    }
  }

  void calibration(const std::vector<std::string>& list) {
    const std::string& mode = list[0];
    m_.calibration_values = numbers(list, 1);
    const std::size_t n = m_.calibration_values.size();
    if (mode == "first" && n == 0) {
      m_.calibration = CalibrationMode::first;
    } else if (mode == "time" && n == 1) {
      m_.calibration = CalibrationMode::time;
    } else if (mode == "rest" && n == 2 && m_.calibration_values[0] <= m_.calibration_values[1]) {
      m_.calibration = CalibrationMode::rest;
    } else if (mode == "values" && (n == kThreePointValues || n == kFivePointValues)) {
      m_.calibration = CalibrationMode::values;
    } else {
      fail("'" + value_ + "': first, time T, rest FROM TO or values (9 or 15 numbers)");
    }
  }

  Mapping& m_;
  std::string path_;
  int line_ = 0;
  std::string key_, value_;
};

}  // namespace

int Mapping::channels() const { return channel[2].empty() && channel[3].empty() ? 2 : 4; }

namespace {

struct NamedUnit {
  const char* name;
  UnitFactor factor;
};

// The factor of the unit called `name` in the table; false when it has none.
template <std::size_t N>
bool unit_of(const NamedUnit (&units)[N], const std::string& name, UnitFactor& factor) {
  for (const NamedUnit& u : units) {
    if (name != u.name) continue;
    factor = u.factor;
    return true;
  }
  return false;
}

}  // namespace

bool position_unit(const std::string& name, UnitFactor& factor) {
  static const NamedUnit units[] = {{"mm", {1, false}},   {"cm", {10, false}},
                                    {"m", {1000, false}}, {"um", {1000, true}},
                                    {"µm", {1000, true}}, {"in", {25.4, false}}};
  return unit_of(units, name, factor);
}

bool emg_unit(const std::string& name, UnitFactor& factor) {
  static const NamedUnit units[] = {{"uV", {1, false}},    {"µV", {1, false}},
                                    {"\xb5V", {1, false}}, {"mV", {1000, false}},
                                    {"V", {1e6, false}},   {"nV", {1000, true}}};
  return unit_of(units, name, factor);
}

Mapping read_mapping(const std::string& path) {
  std::ifstream in(path);
  if (!in) throw ImportError(path + ": cannot open: " + std::strerror(errno));
  Mapping m;
  m.path = path;
  Parser parser(m, path);
  std::string text;
  int number = 0;
  while (std::getline(in, text)) parser.line(++number, text);
  if (in.bad()) throw ImportError(path + ": cannot read: " + std::strerror(errno));

  const auto fail = [&](const std::string& what) { throw ImportError(path + ": " + what); };
  if (m.positions.empty()) fail("no 'positions' file");
  for (int p = 0; p < 3; ++p)
    if (m.point[p].empty())
      fail(std::string("no columns for the ") + kMappingPointKeys[p] + " point");
  if (m.point[3].empty() != m.point[4].empty()) fail("molar1 and molar2 come together");
  if (m.channel[0].empty() != m.channel[1].empty() || m.channel[2].empty() != m.channel[3].empty())
    fail("EMG channels come in pairs: right and left");
  if (!m.channel[2].empty() && m.channel[0].empty()) fail("temporalis without masseter");
  if (m.five_points() && m.channels() == 4)
    fail("the five-point form carries only the masseters: no temporalis");
  if (m.rate <= 0 && m.time.empty()) fail("neither 'rate' nor a 'time' column");
  if (!m.emg.empty() && m.channel[0].empty()) fail("an 'emg' file but no EMG channel");
  if (m.experiments == ExperimentMode::files) {
    if (!m.emg.empty() && m.emg.size() != m.positions.size())
      fail("experiments = files: as many 'emg' files as 'positions' files");
  } else if (m.positions.size() > 1 || m.emg.size() > 1) {
    fail("more than one input file needs experiments = files");
  }
  if (m.experiments == ExperimentMode::annotations && m.emg.empty())
    fail("experiments = annotations needs an 'emg' file (EDF+ or BDF+)");
  if (m.calibration == CalibrationMode::values &&
      static_cast<int>(m.calibration_values.size()) !=
          (m.five_points() ? kFivePointValues : kThreePointValues))
    fail("calibration values: 3 numbers for each point mapped");
  return m;
}

const char* mapping_template() {
  return R"(# chew_import mapping: `key = value`, one a line; '#' starts a comment.
# Files are found relative to this file's folder.

# The header of the written recording (each optional).
person = Jane Doe
sex = f
born = 01.02.1970
created = 03.04.2024

# Positions: a delimited text file (several, one per experiment, with experiments = files).
positions = positions.csv
delimiter = auto          # auto, comma, semicolon, tab or blank (runs of blanks)
decimal = point           # point or comma (1,5)
header = yes              # the first row (after the skipped lines) names the columns
skip = 0                  # lines before the header or the first row
rate = 100                # Hz; or a time column instead:
# time = t
# time_unit = s           # s or ms
position_unit = mm        # mm, cm, m, um or in
# Columns by name, or by number (1 is the first): x y z of each point.
right = rx ry rz
left = lx ly lz
incisal = ix iy iz
# molar1 = ax ay az       # both molars: the five-point form (masseters only)
# molar2 = bx by bz
# aux = a1 a2 a3          # three auxiliary values; 0 0 0 without
# offset = 0              # s the first row of positions lies after the first EMG sample

# EMG: channels by label from an EDF, EDF+, BDF or BDF+ file (the units its header gives),
# or, without an emg file, columns of the positions file in emg_unit (uV, mV, V or nV).
# emg = recording.edf
masseter_right = MR
masseter_left = ML
# temporalis_right = TR
# temporalis_left = TL
# emg_unit = uV

# Experiments: one | times T1 T2 ... (s) | column NAME | files | annotations [TEXT]
experiments = one
# Calibration: first | time T (s) | rest FROM TO (s, averaged) | values X Y Z ... (9 or 15)
calibration = first
)";
}
