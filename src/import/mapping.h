// The mapping file: which columns and channels of another system's files are which of the
// evaluator's points and muscles, in which units, cut into which experiments, calibrated how.
// One `key = value` a line; `#` starts a comment. README.md "Importing recordings" lists the keys.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

// A bad mapping or input: the message names the file (and line, column or channel).
struct ImportError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

enum class Delimiter { automatic, comma, semicolon, tab, blank };
enum class ExperimentMode { one, times, column, files, annotations };
enum class CalibrationMode { first, time, rest, values };

// The evaluator's points in its order, and its EMG channels in theirs.
constexpr int kImportPoints = 5;  // right, left, incisal, molar1, molar2
constexpr int kImportChannels = 4;
extern const char* const kMappingPointKeys[kImportPoints];
extern const char* const kMappingChannelKeys[kImportChannels];

// A unit's factor to the evaluator's: `scale` multiplies, or divides where `divide` is set, so
// that decimal units convert with one correctly rounded operation. False for an unknown unit.
struct UnitFactor {
  double scale = 1;
  bool divide = false;
};
inline double convert(double value, const UnitFactor& f) {
  return f.divide ? value / f.scale : value * f.scale;
}

struct Mapping {
  std::string path;  // the mapping file itself; inputs are found relative to its folder
  std::string person, sex, born, created;

  std::vector<std::string> positions;  // delimited text files
  Delimiter delimiter = Delimiter::automatic;
  bool decimal_comma = false;
  bool header = true;
  int skip = 0;
  double rate = 0;                                // Hz; 0: from the time column
  std::string time;                               // the time column, if any
  double time_scale = 1;                          // to seconds
  UnitFactor position_factor;                     // to mm
  std::vector<std::string> point[kImportPoints];  // three columns each, empty when not mapped
  std::vector<std::string> aux;                   // none or three columns
  double offset = 0;  // s the positions' first row lies after the EMG's first sample

  std::vector<std::string> emg;          // EDF/BDF files; none: EMG from columns
  std::string channel[kImportChannels];  // labels (EDF) or columns; empty: not mapped
  UnitFactor emg_factor;                 // of EMG columns, to uV

  ExperimentMode experiments = ExperimentMode::one;
  std::vector<double> experiment_times;  // s
  std::string experiment_column;
  std::string annotation_text;  // annotations whose text begins so; empty: every annotation

  CalibrationMode calibration = CalibrationMode::first;
  std::vector<double> calibration_values;  // time: {t}; rest: {from, to} (s); values: 9 or 15

  bool five_points() const { return !point[3].empty(); }
  int channels() const;  // EMG channels written: 2 or 4
};

// Reads and checks the mapping at `path`.
Mapping read_mapping(const std::string& path);

// The commented template `chew_import --template` prints.
const char* mapping_template();

bool position_unit(const std::string& name, UnitFactor& factor);
bool emg_unit(const std::string& name, UnitFactor& factor);
