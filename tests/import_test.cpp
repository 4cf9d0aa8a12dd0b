// chew_import run as a program on files: layouts, units, experiments and calibrations against
// the lines it must write; the shipped JMA example and simulated recordings through EDF+ and
// CSV, evaluated again; and every bad input refused with one line and nothing written.
#include <edflib.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "import/edf.h"
#include "support/test_support.h"

namespace {

struct Import {
  CommandResult run;
  std::string written;  // the output, empty when none was written
  bool exists = false;
};

// Writes the mapping `map` and runs chew_import on it in `dir`, output out.txt.
Import import(const TempDir& dir, const std::string& map) {
  write_file(dir.file("map.map"), map);
  Import i;
  i.run = run_program(CHEW_IMPORT_PATH, {"map.map", "out.txt"}, dir.path());
  i.exists = file_exists(dir.file("out.txt"));
  if (i.exists) i.written = read_file(dir.file("out.txt"));
  return i;
}

// Three rows of three points and two EMG channels, at 100 Hz.
const char kCsv[] =
    "t,rx,ry,rz,lx,ly,lz,ix,iy,iz,mr,ml\n"
    "0,-50,0,-90,50,0,-90,0,0,0,1.5,-2\n"
    "0.01,-50,0,-90,50,0,-90,0,-1.25,0.5,3,4\n"
    "0.02,-50,0,-90,50,0,-90,0,-2.5,1,5,6\n";
const char kColumns[] =
    "person = P\nright = rx ry rz\nleft = lx ly lz\nincisal = ix iy iz\n"
    "masseter_right = mr\nmasseter_left = ml\n";
const char kWritten[] =
    "Person: P\nSex: \nBorn: \nCreation date: \nFrequency:   100\n"
    "Calibr -50 0 -90 50 0 -90 0 0 0\n"
    "0 -50 0 -90 50 0 -90 0 0 0 0 0 0 1.5 -2\n"
    "10 -50 0 -90 50 0 -90 0 -1.25 0.5 0 0 0 3 4\n"
    "20 -50 0 -90 50 0 -90 0 -2.5 1 0 0 0 5 6\n";

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at))
    text.replace(at, from.size(), to), at += to.size();
  return text;
}

TEST(ImportTest, EveryLayoutAndUnitGivesTheSameRecording) {
  const std::string csv = kCsv, columns = kColumns;
  const std::string numbered =
      "person = P\nright = 2 3 4\nleft = 5 6 7\nincisal = 8 9 10\n"
      "masseter_right = 11\nmasseter_left = 12\n";
  struct Case {
    const char* name;
    std::string data, map;
  } cases[] = {
      {"comma, header", csv, "rate = 100\n" + columns},
      {"tab", replaced(csv, ",", "\t"), "rate = 100\n" + columns},
      {"semicolon, decimal comma", replaced(replaced(csv, ",", ";"), ".", ","),
       "rate = 100\ndecimal = comma\n" + columns},
      {"blank, no header, skipped lines", "exported by X\n\n" + replaced(csv, ",", "  "),
       "rate = 100\nskip = 3\nheader = no\ndelimiter = blank\n" + numbered},
      {"quoted names, CRLF, byte order mark",
       "\xEF\xBB\xBF" + replaced(replaced(csv, "rx", "\"rx\""), "\n", "\r\n"),
       "rate = 100\n" + columns},
      {"time column in ms", replaced(replaced(csv, "0.01,", "10,"), "0.02,", "20,"),
       "time = t\ntime_unit = ms\n" + columns},
      {"um and mV",
       "t,rx,ry,rz,lx,ly,lz,ix,iy,iz,mr,ml\n0,-50000,0,-90000,50000,0,-90000,0,0,0,0.0015,-0.002\n"
       "0,-50000,0,-90000,50000,0,-90000,0,-1250,500,0.003,0.004\n"
       "0,-50000,0,-90000,50000,0,-90000,0,-2500,1000,0.005,0.006\n",
       "rate = 100\nposition_unit = um\nemg_unit = mV\n" + columns},
  };
  for (const Case& c : cases) {
    TempDir dir;
    write_file(dir.file("data.csv"), c.data);
    const Import i = import(dir, "positions = data.csv\n" + c.map);
    EXPECT_EQ(i.run.status, 0) << c.name << describe(i.run);
    EXPECT_EQ(i.written, kWritten) << c.name;
  }
}

// The time stamps and the calibration line of the recording written.
std::string stamps(const std::string& written) {
  std::string out;
  for (const std::string& line : lines_of(written)) {
    if (line.rfind("Calibr", 0) == 0) out += line + "|";
    if (!line.empty() && line[0] >= '0' && line[0] <= '9')
      out += line.substr(0, line.find(' ')) + " ";
  }
  return out;
}

TEST(ImportTest, ExperimentsAndCalibrations) {
  const std::string data = "task,x,y\na,0,0\na,0,-1\nb,0,-2\nb,0,-3\nc,0,-4\nc,0,-5\n";
  const std::string points = "rate = 100\nright = x x x\nleft = 2 x 2\nincisal = x 3 2\n";
  struct Case {
    const char* name;
    std::string map, stamps;
  } cases[] = {
      {"one, first row", "", "Calibr 0 0 0 0 0 0 0 0 0|0 10 20 30 40 50 "},
      {"times", "experiments = times 0 0.02 0.04\n", "Calibr 0 0 0 0 0 0 0 0 0|0 10 0 10 0 10 "},
      {"column", "experiments = column task\n", "Calibr 0 0 0 0 0 0 0 0 0|0 10 0 10 0 10 "},
      {"times from the third row, first written row", "experiments = times 0.02 0.04\n",
       "Calibr 0 0 0 0 0 0 0 -2 0|0 10 0 10 "},
      {"files", "positions = data.csv\nexperiments = files\n",
       "Calibr 0 0 0 0 0 0 0 0 0|0 10 20 30 40 50 0 10 20 30 40 50 "},
      {"calibration time", "calibration = time 0.05\n",
       "Calibr 0 0 0 0 0 0 0 -5 0|0 10 20 30 40 50 "},
      {"calibration rest", "calibration = rest 0.01 0.02\n",
       "Calibr 0 0 0 0 0 0 0 -1.5 0|0 10 20 30 40 50 "},
      {"calibration values, cm", "position_unit = cm\ncalibration = values 1 2 3 4 5 6 7 8 9.5\n",
       "Calibr 10 20 30 40 50 60 70 80 95|0 10 20 30 40 50 "},
  };
  for (const Case& c : cases) {
    TempDir dir;
    write_file(dir.file("data.csv"), data);
    const Import i = import(dir, "positions = data.csv\n" + points + c.map);
    EXPECT_EQ(i.run.status, 0) << c.name << describe(i.run);
    EXPECT_EQ(stamps(i.written), c.stamps) << c.name;
  }
}

TEST(ImportTest, FivePointsWithAuxiliaryValuesReadAsFivePoints) {
  TempDir dir;
  write_file(dir.file("data.csv"), "a;b;c;e\n1;2;3;7,5\n1;2;4;-7,5\n");
  const Import i = import(dir,
                          "positions = data.csv\ndecimal = comma\nrate = 200\n"
                          "right = a b c\nleft = b a c\nincisal = c c c\nmolar1 = a a a\n"
                          "molar2 = b b b\naux = c b a\nmasseter_right = e\nmasseter_left = a\n");
  ASSERT_EQ(i.run.status, 0) << describe(i.run);
  EXPECT_NE(i.written.find("Frequency:   200\nCalibr 1 2 3 2 1 3 3 3 3 1 1 1 2 2 2\n"
                           "0 1 2 3 2 1 3 3 3 3 1 1 1 2 2 2 3 2 1 7.5 1\n"
                           "5 1 2 4 2 1 4 4 4 4 1 1 1 2 2 2 4 2 1 -7.5 1\n"),
            std::string::npos)
      << i.written;
  const CommandResult eval = run_program(CHEW_EVAL_PATH, {"out.txt"}, dir.path());
  ASSERT_EQ(eval.status, 0) << describe(eval);
  EXPECT_NE(
      read_file(dir.file("out_output.txt")).find("Number of entries / type              : 2/0"),
      std::string::npos);
}

TEST(ImportTest, TemplateImportsAndPositionsNotInMmAreNamed) {
  TempDir dir;
  const CommandResult t = run_program(CHEW_IMPORT_PATH, {"--template"}, dir.path());
  ASSERT_EQ(t.status, 0);
  write_file(dir.file("positions.csv"),
             "rx,ry,rz,lx,ly,lz,ix,iy,iz,MR,ML\n-2,0,-9,2,0,-9,0,0,0,1,2\n");
  const Import i = import(dir, t.out);
  EXPECT_EQ(i.run.status, 0) << describe(i.run);
  EXPECT_NE(i.run.err.find("warning: positions do not look like mm"), std::string::npos)
      << i.run.err;
  EXPECT_NE(i.written.find("Calibr -2 0 -9 2 0 -9 0 0 0\n0 -2 0 -9"), std::string::npos);
}

// Signals of one rate each in whole 1 s records, 0.1 uV a step; the last record padded.
struct Signal {
  std::string label, unit;
  int rate;
  std::vector<double> values;
};
void write_edf(const std::string& path, const std::vector<Signal>& signals,
               const std::vector<std::pair<double, std::string>>& annotations = {},
               int type = EDFLIB_FILETYPE_EDFPLUS) {
  // EDFlib writes EDF+ and BDF+: a plain EDF or BDF is the same file without the "EDF+C" mark.
  const bool plain = type == EDFLIB_FILETYPE_EDF || type == EDFLIB_FILETYPE_BDF;
  const int h = edfopen_file_writeonly(path.c_str(),
                                       type == EDFLIB_FILETYPE_EDF ? EDFLIB_FILETYPE_EDFPLUS
                                       : plain                     ? EDFLIB_FILETYPE_BDFPLUS
                                                                   : type,
                                       static_cast<int>(signals.size()));
  ASSERT_GE(h, 0);
  // A data record holds one annotation for each annotation signal.
  edf_set_number_of_annotation_signals(h, std::max(1, static_cast<int>(annotations.size())));
  std::size_t records = 0;
  for (std::size_t s = 0; s < signals.size(); ++s) {
    const int k = static_cast<int>(s);
    edf_set_samplefrequency(h, k, signals[s].rate);
    // Limits EDFlib writes exactly (it cuts 3276.7 to 3276.699): 0.1 uV a step.
    edf_set_physical_maximum(h, k, 3276);
    edf_set_physical_minimum(h, k, -3276);
    edf_set_digital_maximum(h, k, 32760);
    edf_set_digital_minimum(h, k, -32760);
    edf_set_label(h, k, signals[s].label.c_str());
    edf_set_physical_dimension(h, k, signals[s].unit.c_str());
    const std::size_t rate = static_cast<std::size_t>(signals[s].rate);
    records = std::max(records, (signals[s].values.size() + rate - 1) / rate);
  }
  for (std::size_t r = 0; r < records; ++r) {
    for (const Signal& s : signals) {
      std::vector<int> buffer(static_cast<std::size_t>(s.rate), 0);
      for (std::size_t j = 0; j < buffer.size(); ++j) {
        const std::size_t at = r * buffer.size() + j;
        if (at < s.values.size()) buffer[j] = static_cast<int>(std::llround(s.values[at] * 10));
      }
      ASSERT_EQ(edfwrite_digital_samples(h, buffer.data()), 0);
    }
  }
  for (const auto& a : annotations)
    edfwrite_annotation_utf8(h, std::llround(a.first * 10000), -1, a.second.c_str());
  ASSERT_EQ(edfclose_file(h), 0);
  if (plain) {
    std::string file = read_file(path);
    file.replace(192, 5, "     ");
    write_file(path, file);
  }
}

TEST(ImportTest, JmaExampleIsOneOpeningOf56Mm) {
  TempDir dir;
  const CommandResult i = run_program(
      CHEW_IMPORT_PATH, {source_path("examples/jma.map"), dir.file("jma.txt")}, dir.path());
  ASSERT_EQ(i.status, 0) << describe(i);
  const CommandResult s =
      run_program(CHEW_STUDY_PATH, {"--quiet", "--out", "st", "jma.txt"}, dir.path());
  ASSERT_EQ(s.status, 0) << describe(s);
  const auto experiments = csv_table(read_file(dir.file("st/experiments.csv")));
  ASSERT_EQ(experiments.size(), 1u);
  EXPECT_NEAR(std::stold(experiments[0].at("incisal_max_mm")), 55.9L, 0.1L);
  EXPECT_EQ(read_file(dir.file("st/findings.csv")).find(",tracking,"), std::string::npos);
  EXPECT_NE(read_file(dir.file("jma.txt")).find("Frequency:   50\n"), std::string::npos);
}

TEST(ImportTest, EdfAndBdfChannelsInTheirUnitsAndAnnotations) {
  struct Case {
    int type;
    const char* unit;
    const char* experiments;
    const char* written;  // the EMG of the first sample, the time stamps
  } cases[] = {
      {EDFLIB_FILETYPE_EDF, "uV", "one", " 1.5 -2|0 10 20 "},
      {EDFLIB_FILETYPE_EDFPLUS, "mV", "annotations exp", " 1500 -2000|0 10 0 "},
      {EDFLIB_FILETYPE_BDF, "nV", "one", " 0.0015 -0.002|0 10 20 "},
      {EDFLIB_FILETYPE_BDFPLUS, "V", "annotations", " 1500000 -2e+06|0 0 0 "},
  };
  for (const Case& c : cases) {
    TempDir dir;
    write_file(dir.file("data.csv"), kCsv);
    write_edf(dir.file("emg.edf"),
              {{"MR", c.unit, 100, {1.5, 3}}, {"left masseter", c.unit, 100, {-2, 4}}},
              {{0, "exp 1"}, {0.01, "noise"}, {0.02, "exp 2"}}, c.type);
    const Import i = import(dir, "positions = data.csv\nrate = 100\n" + std::string(kColumns) +
                                     "emg = emg.edf\nmasseter_right = MR\n"
                                     "masseter_left = left masseter\nexperiments = " +
                                     c.experiments + "\n");
    ASSERT_EQ(i.run.status, 0) << c.unit << describe(i.run);
    const std::vector<std::string> lines = lines_of(i.written);
    ASSERT_GE(lines.size(), 7u);
    const std::string got = stamps(i.written);
    EXPECT_EQ(lines[6].substr(lines[6].rfind(" 0 0 0 ") + 6) + got.substr(got.find('|')), c.written)
        << c.unit;
  }
}

TEST(ImportTest, PhysicalValuesAreTheDecimalsTheHeaderMeans) {
  struct Case {
    EdfScaling scaling;
    int digital;
    double uV;
  } cases[] = {
      {{-3276, 3276, -32760, 32760, 1, false}, 123, 12.3},
      {{-3276.8, 3276.7, -32768, 32767, 1, false}, -7, -0.7},
      {{-3276.69, 3276.699, -32767, 32767, 1, false}, 4, 0.40449932859279153},  // EDFlib's cut
      {{-8388608, 8388607, -8388608, 8388607, 1000, true}, 123400, 123.4},      // nV
      {{-3.2768, 3.2767, -32768, 32767, 1000, false}, 3, 0.3},                  // mV
  };
  for (const Case& c : cases)
    EXPECT_EQ(PhysicalValue(c.scaling)(c.digital), c.uV) << c.scaling.phys_max << " " << c.digital;
  // Limits beyond exact integers: the straightforward map.
  EXPECT_NEAR(PhysicalValue({-1e300, 1e300, -32768, 32767, 1, false})(0), 1e300 / 65535, 1e290);
}

// A simulated recording split into positions (CSV, every `step`-th sample) and EMG (EDF+, with
// an annotation at each experiment's start), imported back.
struct Simulated {
  std::string header;  // the mapping's header keys
  std::string calibration;
  std::vector<std::string> positions;  // each sample's 9 position fields, comma separated
  std::vector<Signal> emg = {
      {"MR", "uV", 500, {}}, {"ML", "uV", 500, {}}, {"TR", "uV", 500, {}}, {"TL", "uV", 500, {}}};
  std::vector<std::pair<double, std::string>> starts;
};
Simulated split(const std::string& text) {
  Simulated s;
  const char* keys[] = {"Person: ", "person", "Sex: ",           "sex",
                        "Born: ",   "born",   "Creation date: ", "created"};
  for (const std::string& line : lines_of(text)) {
    for (int k = 0; k < 8; k += 2)
      if (line.rfind(keys[k], 0) == 0)
        s.header += keys[k + 1] + (" = " + line.substr(std::strlen(keys[k]))) + "\n";
    if (line.rfind("Calibr ", 0) == 0) s.calibration = line.substr(7);
    if (line.empty() || line[0] < '0' || line[0] > '9') continue;
    std::istringstream in(line);
    std::string time, field, fields;
    in >> time;
    if (time == "0") s.starts.push_back({s.positions.size() / 500.0, "experiment"});
    for (int k = 0; k < 9 && in >> field; ++k) fields += (k ? "," : "") + field;
    s.positions.push_back(fields);
    for (int k = 0; k < 3; ++k) in >> field;
    for (Signal& c : s.emg) in >> field, c.values.push_back(std::stod(field));
  }
  return s;
}

TEST(ImportTest, SimulatedRecordingThroughEdfAndCsvEvaluatesAlike) {
  TempDir dir;
  const CommandResult sim = run_program(CHEW_SIMULATE_PATH,
                                        {"--seed", "5", "--form", "three-point-4ch", "--rate",
                                         "500", "--scale", "0.3", "--out", "rec.txt"},
                                        dir.path());
  ASSERT_EQ(sim.status, 0) << describe(sim);
  const Simulated s = split(read_file(dir.file("rec.txt")));
  ASSERT_EQ(s.starts.size(), 18u);
  write_edf(dir.file("emg.edf"), s.emg, s.starts);
  const CommandResult original =
      run_program(CHEW_STUDY_PATH, {"--quiet", "--out", "st", "rec.txt"}, dir.path());
  ASSERT_EQ(original.status, 0) << describe(original);
  const auto expected = csv_table(read_file(dir.file("st/experiments.csv")));
  for (int step : {1, 5}) {  // positions at 500 Hz and at 100 Hz
    const std::string sub = dir.file("step" + std::to_string(step));
    ASSERT_EQ(std::system(("mkdir " + sub).c_str()), 0);
    std::string csv;
    for (std::size_t j = 0; j < s.positions.size(); j += static_cast<std::size_t>(step))
      csv += s.positions[j] + "\n";
    write_file(sub + "/positions.csv", csv);
    write_file(sub + "/map.map",
               s.header +
                   "positions = positions.csv\nheader = no\nrate = " + std::to_string(500 / step) +
                   "\nright = 1 2 3\nleft = 4 5 6\nincisal = 7 8 9\nemg = ../emg.edf\n"
                   "masseter_right = MR\nmasseter_left = ML\ntemporalis_right = TR\n"
                   "temporalis_left = TL\nexperiments = annotations\ncalibration = values " +
                   s.calibration + "\n");
    const CommandResult i = run_program(CHEW_IMPORT_PATH, {"map.map", "rec.txt"}, sub);
    ASSERT_EQ(i.status, 0) << describe(i);
    const CommandResult study =
        run_program(CHEW_STUDY_PATH, {"--quiet", "--out", "st", "rec.txt"}, sub);
    ASSERT_EQ(study.status, 0) << describe(study);
    if (step == 1) {  // the same samples: the same report, byte for byte
      EXPECT_EQ(read_file(sub + "/st/rec_output.txt"), read_file(dir.file("st/rec_output.txt")));
      EXPECT_EQ(read_file(sub + "/st/experiments.csv"), read_file(dir.file("st/experiments.csv")));
    }
    const auto got = csv_table(read_file(sub + "/st/experiments.csv"));
    ASSERT_EQ(got.size(), expected.size());
    for (std::size_t k = 0; k < got.size(); ++k) {
      EXPECT_EQ(got[k].at("chewing_cycles"), expected[k].at("chewing_cycles")) << step << " " << k;
      for (const char* mvc : {"mr_mvc_uV", "ml_mvc_uV", "tr_mvc_uV", "tl_mvc_uV"}) {
        const double want = std::stod(expected[k].at(mvc));
        EXPECT_NEAR(std::stod(got[k].at(mvc)), want, 0.005 * want) << step << " " << k << mvc;
      }
    }
  }
}

// EMG at `rate` Hz for `seconds` s in the channels `labels` (unit `unit`).
std::vector<Signal> emg_of(const std::vector<std::string>& labels, int rate, int seconds,
                           const std::string& unit = "uV") {
  std::vector<Signal> out;
  for (const std::string& label : labels)
    out.push_back({label, unit, rate, std::vector<double>(std::size_t(rate * seconds), 1.5)});
  return out;
}

TEST(ImportTest, BadInputIsNamedAndNothingIsWritten) {
  const std::string columns = kColumns, csv = kCsv;
  const std::string edf = "emg = emg.edf\n" + columns;
  const auto emg = [](std::vector<Signal> signals) {
    return [signals](const TempDir& d) { write_edf(d.file("emg.edf"), signals); };
  };
  std::string many_rows = "x,e\n", long_positions = "rx,ry,rz,lx,ly,lz,ix,iy,iz,mr,ml\n";
  for (int k = 0; k < 19; ++k) many_rows += "0," + std::to_string(k) + "\n";
  for (int k = 0; k <= 501; ++k) long_positions += "-50,0,-90,50,0,-90,0,0,0,0,0\n";
  const std::string points = "right = x x x\nleft = 1 x 1\nincisal = x x x\n";
  struct Case {
    const char* name;
    std::string data, map, message;
    std::function<void(const TempDir&)> setup;
  } cases[] = {
      {"missing column", csv, "rate = 100\n" + replaced(columns, "iz", "nope"),
       "data.csv:1: no column 'nope' (incisal z) in 12 columns", nullptr},
      {"no number", replaced(csv, "-1.25", "abc"), "rate = 100\n" + columns,
       "data.csv:3: column 'iy' (incisal y): 'abc' is not a finite number", nullptr},
      {"short row", csv + "0.03,1,2\n", "rate = 100\n" + columns,
       "data.csv:5: column 'rz' (right z): the row has only 3 fields", nullptr},
      {"unknown position unit", csv, "rate = 100\nposition_unit = furlong\n" + columns,
       "map.map:3: position_unit: unknown unit 'furlong'", nullptr},
      {"unknown key", csv, "rat = 100\n" + columns, "map.map:2: rat: unknown key", nullptr},
      {"missing label", csv, "rate = 100\n" + replaced(edf, "= mr", "= MX"),
       "emg.edf: channel 'MX' (masseter_right): no such label; the file has 'mr', 'ml'",
       emg(emg_of({"mr", "ml"}, 100, 1))},
      {"unknown unit in EDF", csv, "rate = 100\n" + edf,
       "emg.edf: channel 'mr' (masseter_right): unknown physical dimension 'mmHg'",
       emg(emg_of({"mr", "ml"}, 100, 1, "mmHg"))},
      {"truncated EDF", csv, "rate = 100\n" + edf, "emg.edf: not a valid EDF or BDF file",
       [](const TempDir& d) {
         write_edf(d.file("emg.edf"), emg_of({"mr", "ml"}, 100, 2));
         const std::string whole = read_file(d.file("emg.edf"));
         write_file(d.file("emg.edf"), whole.substr(0, whole.size() - 100));
       }},
      {"text as EDF", csv, "rate = 100\n" + edf, "emg.edf: not a",
       [](const TempDir& d) { write_file(d.file("emg.edf"), std::string(300, 'x')); }},
      {"missing EDF", csv, "rate = 100\n" + edf, "emg.edf: cannot open: No such file", nullptr},
      {"experiments past the end", csv, "rate = 100\nexperiments = times 0 5\n" + columns,
       "the experiment list does not fit: 5 s lies outside the recording's 0.03 s", nullptr},
      {"experiments not rising", csv, "rate = 100\nexperiments = times 0.02 0.01\n" + columns,
       "experiment 2 starts at 0.01 s, not after experiment 1 at 0.02 s", nullptr},
      {"positions faster than EMG", csv, "rate = 200\n" + edf,
       "rates cannot be aligned: positions at 200 Hz, EMG in", emg(emg_of({"mr", "ml"}, 100, 1))},
      {"EMG channels at two rates", csv, "rate = 100\n" + edf,
       "channel 'ml' (masseter_left): rates cannot be aligned",
       emg({{"mr", "uV", 100, {1}}, {"ml", "uV", 50, {1}}})},
      {"time not rising", replaced(csv, "0.02,", "0.005,"), "time = t\n" + columns,
       "data.csv:4: time 't' does not rise", nullptr},
      {"above 1000 Hz", csv, "rate = 2000\n" + columns, "2000 Hz is above 1000 Hz", nullptr},
      {"19 experiments", many_rows, "rate = 100\nexperiments = column e\n" + points,
       "too many experiments: 19, the evaluator reads at most 18", nullptr},
      {"500001 samples", long_positions, "rate = 1\n" + edf,
       "too many samples: 501001, the evaluator reads at most 500000",
       emg(emg_of({"mr", "ml"}, 1000, 502))},
  };
  for (const Case& c : cases) {
    TempDir dir;
    write_file(dir.file("data.csv"), c.data);
    if (c.setup) c.setup(dir);
    const Import i = import(dir, "positions = data.csv\n" + c.map);
    EXPECT_EQ(i.run.status, 1) << c.name << describe(i.run);
    EXPECT_NE(i.run.err.find(c.message), std::string::npos) << c.name << ": " << i.run.err;
    EXPECT_EQ(lines_of(i.run.err).size(), 1u) << c.name << ": " << i.run.err;
    EXPECT_FALSE(i.exists) << c.name;
    EXPECT_TRUE(hidden_names(dir.path()).empty()) << c.name;
  }
  TempDir dir;  // an output that cannot be written
  write_file(dir.file("data.csv"), csv);
  write_file(dir.file("map.map"), "positions = data.csv\nrate = 100\n" + columns);
  const CommandResult r = run_program(CHEW_IMPORT_PATH, {"map.map", "no/out.txt"}, dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("no/out.txt: cannot write: No such file or directory; nothing written"),
            std::string::npos)
      << r.err;
  const CommandResult same = run_program(CHEW_IMPORT_PATH, {"map.map", "./data.csv"}, dir.path());
  EXPECT_EQ(same.status, 1);
  EXPECT_NE(same.err.find("./data.csv: the output would replace the input 'data.csv'"),
            std::string::npos)
      << same.err;
  EXPECT_EQ(read_file(dir.file("data.csv")), csv);
  EXPECT_EQ(run_program(CHEW_IMPORT_PATH, {"map.map"}, dir.path()).status, 2);
}

}  // namespace
