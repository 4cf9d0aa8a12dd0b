// The data checks end to end: chew_study on simulated recordings, each damaged to trip one check,
// must list exactly that finding in findings.csv (values and limits worked out by hand from the
// damage), count it in runs.csv and on the progress line, show it on the check page, fail the
// exit status only with --strict, and give the same findings whatever --jobs; the untouched
// recordings and the shipped examples give none.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "support/test_support.h"

namespace {

const std::string kStudy = CHEW_STUDY_PATH;

// A table of the study as rows of column name -> value.
std::vector<std::map<std::string, std::string>> table(const std::string& path) {
  return csv_table(read_file(path));
}

// A recording as lines, with what the tests change in it.
class Recording {
 public:
  explicit Recording(const std::string& text) : lines_(lines_of(text)) {}

  std::string text() const {
    std::string s;
    for (const std::string& line : lines_) s += line + "\n";
    return s;
  }

  static bool is_sample(const std::string& line) {
    return !line.empty() && (std::isdigit(static_cast<unsigned char>(line[0])) || line[0] == '-');
  }

  // Line numbers of the samples of experiment k (from 1).
  std::vector<std::size_t> experiment(int k) const {
    std::vector<std::size_t> found;
    int current = 0;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
      if (!is_sample(lines_[i])) continue;
      if (lines_[i].rfind("0 ", 0) == 0) ++current;
      if (current == k) found.push_back(i);
    }
    return found;
  }

  std::size_t find(const std::string& prefix) const {
    for (std::size_t i = 0; i < lines_.size(); ++i)
      if (lines_[i].rfind(prefix, 0) == 0) return i;
    return lines_.size();
  }

  std::vector<std::string> fields(std::size_t line) const {
    std::istringstream in(lines_[line]);
    std::vector<std::string> f;
    for (std::string w; in >> w;) f.push_back(w);
    return f;
  }

  // Field `index` (0 is the time stamp) of a sample line.
  std::string field(std::size_t line, int index) const { return fields(line)[index]; }
  void set(std::size_t line, int index, const std::string& value) {
    std::vector<std::string> f = fields(line);
    f[index] = value;
    std::string joined;
    for (const std::string& w : f) joined += (joined.empty() ? "" : " ") + w;
    lines_[line] = joined;
  }

  std::vector<std::string>& lines() { return lines_; }

 private:
  std::vector<std::string> lines_;
};

// Field positions of the sample forms (after the time stamp).
constexpr int kRightX = 1;
constexpr int kIncisalY = 8;
constexpr int kMr4 = 13, kMl4 = 14, kTr4 = 15, kTl4 = 16;  // three-point, four channels

struct Expected {
  std::string check, severity, experiment, channel;
};

struct Case {
  std::string name;
  bool five_point;  // else three points and four channels
  std::function<void(Recording&)> damage;
  std::vector<Expected> findings;
};

// Both bases: 200 Hz, so every time step is 5 ms.
const std::vector<Case>& cases() {
  static const std::vector<Case> list = {
      {"untouched4", false, [](Recording&) {}, {}},
      {"untouched5", true, [](Recording&) {}, {}},
      // A five-point file reads its samples in the default form.
      {"no_calibration",
       true,
       [](Recording& r) { r.lines().erase(r.lines().begin() + r.find("Calibr")); },
       {{"no_calibration", "error", "", ""}, {"no_kinematics", "warning", "", ""}}},
      // Five-point lines, which the reader takes before any calibration line.
      {"calibration_after_samples",
       true,
       [](Recording& r) {
         const std::size_t at = r.find("Calibr");
         const std::string calibration = r.lines()[at];
         r.lines().erase(r.lines().begin() + at);
         r.lines().insert(r.lines().begin() + at + 3, calibration);  // after three samples
       },
       {{"calibration_after_samples", "warning", "", ""}}},
      // Cut off inside experiment 15, as a crashed export leaves a file.
      {"truncated",
       false,
       [](Recording& r) {
         const std::vector<std::size_t> rk1 = r.experiment(15);
         r.lines().resize(rk1[rk1.size() / 2]);
       },
       {{"missing_experiments", "error", "", ""}, {"last_trial_short", "error", "15", ""}}},
      {"samples_before_first_experiment",
       false,
       [](Recording& r) {
         const std::size_t first = r.experiment(1)[0];
         for (int k = 0; k < 4; ++k) {
           r.lines().insert(r.lines().begin() + first, r.lines()[first]);
           r.set(first, 0, std::to_string(995 - 5 * k));
         }
       },
       {{"samples_before_first_experiment", "warning", "", ""}}},
      {"skipped_lines",
       false,
       [](Recording& r) {
         const std::size_t at = r.experiment(3)[10];
         r.lines().insert(r.lines().begin() + at, "12 3.5 4.");
         r.lines().insert(r.lines().begin() + at, "Comment: moved");
       },
       {{"skipped_lines", "warning", "", ""}}},
      {"sampling_rate",
       false,
       [](Recording& r) { r.lines()[r.find("Frequency")] = "Frequency:   250"; },
       {{"sampling_rate", "warning", "", ""}}},
      {"no_sampling_rate",
       false,
       [](Recording& r) { r.lines()[r.find("Frequency")] = "Frequency:   unknown"; },
       {{"no_sampling_rate", "error", "", ""}}},
      // Two samples of experiment 5 swap their time stamps (one step falls), one of
      // experiment 6 repeats its predecessor's.
      {"time_order",
       false,
       [](Recording& r) {
         const std::vector<std::size_t> e5 = r.experiment(5), e6 = r.experiment(6);
         const std::string a = r.field(e5[20], 0), b = r.field(e5[21], 0);
         r.set(e5[20], 0, b);
         r.set(e5[21], 0, a);
         r.set(e6[30], 0, r.field(e6[29], 0));
       },
       {{"time_order", "error", "5", ""}, {"time_order", "error", "6", ""}}},
      // 11 samples lost in experiment 6: a step of 12 x 5 = 60 ms; 9 lost in experiment 7: a
      // step of exactly 10 x 5 ms, which is no gap yet.
      {"time_gap",
       false,
       [](Recording& r) {
         const std::vector<std::size_t> e7 = r.experiment(7);
         r.lines().erase(r.lines().begin() + e7[40], r.lines().begin() + e7[49]);
         const std::vector<std::size_t> e6 = r.experiment(6);
         r.lines().erase(r.lines().begin() + e6[40], r.lines().begin() + e6[51]);
       },
       {{"time_gap", "warning", "6", ""}}},
      {"non_finite",
       false,
       [](Recording& r) {
         const std::vector<std::size_t> e9 = r.experiment(9);
         r.set(e9[5], kMr4, "nan");
         r.set(e9[7], kMr4, "-inf");
         r.set(e9[6], kIncisalY, "inf");
       },
       {{"non_finite", "error", "9", "incisal_y"}, {"non_finite", "error", "9", "mr"}}},
      {"emg_flat",
       false,
       [](Recording& r) {
         for (std::size_t i : r.experiment(13)) r.set(i, kTl4, "0");
         for (std::size_t i : r.experiment(14)) r.set(i, kTr4, "7.5");
       },
       {{"emg_flat", "error", "13", "tl"}, {"emg_flat", "error", "14", "tr"}}},
      // Five samples in a row at mr's largest magnitude (one of them negative); four at ml's
      // are no clipping yet. In the resting experiment 11, so no MVC moves.
      {"emg_clipping",
       false,
       [](Recording& r) {
         const std::vector<std::size_t> e11 = r.experiment(11);
         for (int k = 0; k < 5; ++k) r.set(e11[50 + k], kMr4, k == 2 ? "-5000" : "5000");
         for (int k = 0; k < 4; ++k) r.set(e11[80 + k], kMl4, "6000");
       },
       {{"emg_clipping", "warning", "11", "mr"}}},
      {"mvc_zero",
       false,
       [](Recording& r) {
         for (int k : {1, 2})
           for (std::size_t i : r.experiment(k)) r.set(i, kTr4, "0");
       },
       {{"mvc_zero", "error", "", "tr"}}},
      {"mvc_below_trial",
       false,
       [](Recording& r) {
         for (std::size_t i : r.experiment(16)) {
           const long double v = std::strtold(r.field(i, kMl4).c_str(), nullptr);
           r.set(i, kMl4, std::to_string(static_cast<double>(v * 8)));
         }
       },
       {{"mvc_below_trial", "warning", "16", "ml"}}},
      // The masseters of experiment 17 stay at 1 uV, far below their activity level.
      {"no_confirmed_cycle",
       false,
       [](Recording& r) {
         for (std::size_t i : r.experiment(17)) {
           r.set(i, kMr4, i % 2 ? "1" : "-1");
           r.set(i, kMl4, i % 2 ? "-1" : "1");
         }
       },
       {{"no_confirmed_cycle", "warning", "17", ""}}},
      // The incisal point held at its calibrated position through both maximal openings: they
      // give no opening axis, so the calibrated plane stands in for it.
      {"jaw_frame_from_plane",
       false,
       [](Recording& r) {
         const std::size_t calibration = r.find("Calibr");
         for (int experiment : {3, 4})
           for (std::size_t i : r.experiment(experiment))
             for (int field = 7; field <= 9; ++field) r.set(i, field, r.field(calibration, field));
       },
       {{"jaw_frame_from_plane", "warning", "", ""}}},
      // The right point 10 mm further right (x - 10) for a stretch of experiment 5. In the
      // five-point file the pairs with the incisal point and the right molar move less than 2 mm.
      {"tracking5",
       true,
       [](Recording& r) {
         const std::vector<std::size_t> e5 = r.experiment(5);
         for (int k = 30; k < 60; ++k) {
           const long double x = std::strtold(r.field(e5[k], kRightX).c_str(), nullptr);
           r.set(e5[k], kRightX, std::to_string(static_cast<double>(x - 10)));
         }
       },
       {{"tracking", "warning", "5", "right-left"},
        {"tracking", "warning", "5", "right-incisal"},
        {"tracking", "warning", "5", "right-molar1"},
        {"tracking", "warning", "5", "right-molar2"}}},
      // The same in a three-point file: only the right-left distance is checked there.
      {"tracking3",
       false,
       [](Recording& r) {
         const std::vector<std::size_t> e5 = r.experiment(5);
         for (int k = 30; k < 60; ++k) {
           const long double x = std::strtold(r.field(e5[k], kRightX).c_str(), nullptr);
           r.set(e5[k], kRightX, std::to_string(static_cast<double>(x - 10)));
         }
       },
       {{"tracking", "warning", "5", "right-left"}}},
      // Every chewing trial stamped at half the header's rate: steps of 10 ms at 200 Hz.
      {"experiment_rate",
       false,
       [](Recording& r) {
         for (int k = 13; k <= 18; ++k)
           for (std::size_t i : r.experiment(k))
             r.set(i, 0, std::to_string(2 * std::stoll(r.field(i, 0))));
       },
       {{"experiment_rate", "error", "13", ""},
        {"experiment_rate", "error", "14", ""},
        {"experiment_rate", "error", "15", ""},
        {"experiment_rate", "error", "16", ""},
        {"experiment_rate", "error", "17", ""},
        {"experiment_rate", "error", "18", ""}}},
      // From the middle of FK2's steps on, its stamps step by 10 ms instead of 5.
      {"rate_change",
       false,
       [](Recording& r) {
         const std::vector<std::size_t> e = r.experiment(14);
         const std::size_t steps = e.size() - 1;
         long long t = 0;
         for (std::size_t i = 1; i < e.size(); ++i) {
           t += i - 1 < steps / 2 ? 5 : 10;
           r.set(e[i], 0, std::to_string(t));
         }
       },
       {{"rate_change", "error", "14", ""}, {"experiment_rate", "error", "14", ""}}},
      // An electrode pop in the maximal clench: four samples of mr at +-8000 uV.
      {"emg_pop",
       false,
       [](Recording& r) {
         const std::vector<std::size_t> e = r.experiment(1);
         for (int k = 0; k < 4; ++k) r.set(e[100 + k], kMr4, k % 2 ? "-8000" : "8000");
       },
       {{"emg_ceiling", "error", "1", "mr"}, {"emg_spike", "error", "1", "mr"}}},
      // One sample of tr in LK1 at 3000 uV: below the ceiling, far outside its spread there.
      {"emg_spike",
       false,
       [](Recording& r) { r.set(r.experiment(17)[200], kTr4, "3000"); },
       {{"emg_spike", "error", "17", "tr"}}},
      // A line of experiment 7 cut before its last number reads as a line of two channels.
      {"mixed_forms",
       false,
       [](Recording& r) {
         std::string& line = r.lines()[r.experiment(7)[10]];
         line.erase(line.rfind(' '));
       },
       {{"mixed_forms", "error", "", ""}}},
      {"calibration_zero",
       false,
       [](Recording& r) { r.lines()[r.find("Calibr")] = "Calibr 0 0 0 0 0 0 0 0 0"; },
       {{"calibration_degenerate", "error", "", ""}, {"no_kinematics", "warning", "", ""}}},
      // The right and left points calibrated 50 mm to either side of the incisal point, on one
      // line with it.
      {"calibration_collinear",
       false,
       [](Recording& r) {
         const std::size_t at = r.find("Calibr");
         for (int axis = 1; axis <= 3; ++axis) {
           const double incisal = std::stod(r.field(at, axis + 6));
           r.set(at, axis, std::to_string(incisal - (axis == 1 ? 50 : 0)));
           r.set(at, axis + 3, std::to_string(incisal + (axis == 1 ? 50 : 0)));
         }
       },
       {{"calibration_degenerate", "error", "", ""}}},
      // FK2's samples in place of RK1's.
      {"duplicate_experiment",
       false,
       [](Recording& r) {
         const std::vector<std::size_t> fk2 = r.experiment(14), rk1 = r.experiment(15);
         for (std::size_t k = 0; k < rk1.size(); ++k) r.lines()[rk1[k]].clear();
         std::vector<std::string> copy;
         for (std::size_t i : fk2) copy.push_back(r.lines()[i]);
         r.lines().insert(r.lines().begin() + rk1[0], copy.begin(), copy.end());
       },
       {{"duplicate_experiment", "error", "15", ""}}},
      // Positions written in centimetres: every distance ten times smaller, no cycle reaches
      // the 3 mm threshold.
      {"position_units",
       false,
       [](Recording& r) {
         for (std::size_t i = 0; i < r.lines().size(); ++i) {
           const bool calibration = r.lines()[i].rfind("Calibr", 0) == 0;
           if (!calibration && !Recording::is_sample(r.lines()[i])) continue;
           for (int field = 1; field <= 9; ++field) {
             const long double mm = std::strtold(r.field(i, field).c_str(), nullptr);
             char cm[32];
             std::snprintf(cm, sizeof cm, "%.4Lf", mm / 10);
             r.set(i, field, cm);
           }
         }
       },
       {{"position_units", "warning", "", ""},
        {"position_units", "warning", "", ""},
        {"no_confirmed_cycle", "warning", "13", ""},
        {"no_confirmed_cycle", "warning", "14", ""},
        {"no_confirmed_cycle", "warning", "15", ""},
        {"no_confirmed_cycle", "warning", "16", ""},
        {"no_confirmed_cycle", "warning", "17", ""},
        {"no_confirmed_cycle", "warning", "18", ""}}},
      // Jaw tracking without EMG: every channel written as 0. One finding says so, in place of
      // the per-channel ones.
      {"no_emg",
       false,
       [](Recording& r) {
         for (std::size_t i = 0; i < r.lines().size(); ++i)
           if (Recording::is_sample(r.lines()[i]))
             for (int c : {kMr4, kMl4, kTr4, kTl4}) r.set(i, c, "0");
       },
       {{"no_emg", "warning", "", ""}}},
      // The file ends at a line boundary 45 % into LK2 (after its first confirmed cycle).
      {"last_trial_short",
       false,
       [](Recording& r) {
         const std::vector<std::size_t> lk2 = r.experiment(18);
         r.lines().resize(lk2[lk2.size() * 45 / 100]);
       },
       {{"last_trial_short", "error", "18", ""}}},
      // The incisal point 1e3000 mm off in five samples of experiment 9: finite values whose
      // squares overflow, so its distances are infinite.
      {"non_finite_result",
       false,
       [](Recording& r) {
         const std::vector<std::size_t> e9 = r.experiment(9);
         for (int k = 0; k < 5; ++k) r.set(e9[20 + k], kIncisalY, "1e3000");
       },
       {{"non_finite_result", "error", "9", ""}}},
  };
  return list;
}

class DataChecksTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    const std::vector<std::vector<std::string>> bases = {
        {"--seed", "61", "--form", "three-point-4ch", "--rate", "200", "--scale", "0.3", "--out",
         "base4.txt"},
        {"--seed", "62", "--form", "five-point", "--rate", "200", "--scale", "0.3", "--out",
         "base5.txt"}};
    for (const auto& args : bases)
      ASSERT_EQ(run_program(CHEW_SIMULATE_PATH, args, dir_->path()).status, 0);
    const std::string base4 = read_file(dir_->file("base4.txt"));
    const std::string base5 = read_file(dir_->file("base5.txt"));
    std::filesystem::create_directories(dir_->file("rec"));
    for (const Case& c : cases()) {
      Recording r(c.five_point ? base5 : base4);
      c.damage(r);
      write_file(dir_->file("rec/" + c.name + ".txt"), r.text());
    }
    run_ = new CommandResult(run_program(kStudy, {"--pages", "--out", "out", "rec"}, dir_->path()));
    findings_ =
        new std::vector<std::map<std::string, std::string>>(table(dir_->file("out/findings.csv")));
  }
  static void TearDownTestSuite() {
    delete findings_;
    delete run_;
    delete dir_;
  }

  // The findings of one recording.
  static std::vector<std::map<std::string, std::string>> of(const std::string& name) {
    std::vector<std::map<std::string, std::string>> rows;
    for (const auto& row : *findings_)
      if (row.at("file") == "rec/" + name + ".txt") rows.push_back(row);
    return rows;
  }
  // The one finding of `name` by `check` (and channel).
  static std::map<std::string, std::string> finding(const std::string& name,
                                                    const std::string& check,
                                                    const std::string& channel = "") {
    for (const auto& row : of(name))
      if (row.at("check") == check && row.at("channel") == channel) return row;
    ADD_FAILURE() << name << ": no " << check << " " << channel;
    return {};
  }
  static long double number(const std::map<std::string, std::string>& row,
                            const std::string& column) {
    return row.count(column) ? std::strtold(row.at(column).c_str(), nullptr) : NAN;
  }

  static TempDir* dir_;
  static CommandResult* run_;
  static std::vector<std::map<std::string, std::string>>* findings_;
};

TempDir* DataChecksTest::dir_ = nullptr;
CommandResult* DataChecksTest::run_ = nullptr;
std::vector<std::map<std::string, std::string>>* DataChecksTest::findings_ = nullptr;

TEST_F(DataChecksTest, EachDamageTripsExactlyItsCheck) {
  ASSERT_EQ(run_->status, 0) << describe(*run_);  // findings never fail without --strict
  for (const Case& c : cases()) {
    std::multiset<std::tuple<std::string, std::string, std::string, std::string>> expected, got;
    for (const Expected& e : c.findings)
      expected.insert({e.check, e.severity, e.experiment, e.channel});
    for (const auto& row : of(c.name))
      got.insert({row.at("check"), row.at("severity"), row.at("experiment"), row.at("channel")});
    EXPECT_EQ(got, expected) << c.name;
  }
}

TEST_F(DataChecksTest, MeasuredValuesAndLimitsAreTheDamagesOwn) {
  // value, limit, unit of each finding as the damage makes them.
  const std::vector<
      std::tuple<std::string, std::string, std::string, long double, long double, std::string>>
      exact = {
          {"no_calibration", "no_calibration", "", 0, 1, "lines"},
          {"calibration_after_samples", "calibration_after_samples", "", 3, 0, "samples"},
          {"truncated", "missing_experiments", "", 15, 18, "experiments"},
          {"samples_before_first_experiment", "samples_before_first_experiment", "", 4, 0,
           "samples"},
          {"skipped_lines", "skipped_lines", "", 2, 0, "lines"},
          // The stamps step by 5 ms: 200 Hz; the header's 250 Hz is 50/200 = 25 % off.
          {"sampling_rate", "sampling_rate", "", 25, 5, "%"},
          {"no_sampling_rate", "no_sampling_rate", "", 0, 0, "Hz"},
          {"time_gap", "time_gap", "", 60, 50, "ms"},
          {"non_finite", "non_finite", "mr", 2, 0, "values"},
          {"non_finite", "non_finite", "incisal_y", 1, 0, "values"},
          {"emg_flat", "emg_flat", "tl", 0, 0, "uV"},
          {"emg_clipping", "emg_clipping", "mr", 5, 5, "samples"},
          {"mvc_zero", "mvc_zero", "tr", 0, 0, "uV"},
          {"no_confirmed_cycle", "no_confirmed_cycle", "", 0, 1, "cycles"},
      };
  // The new damages: rates from the stamps as the damage set them.
  const std::size_t fk2_steps =
      Recording(read_file(dir_->file("base4.txt"))).experiment(14).size() - 1;
  const long double fk2_rate =
      1000.0L * fk2_steps / (5 * (fk2_steps / 2) + 10 * (fk2_steps - fk2_steps / 2));
  const std::vector<
      std::tuple<std::string, std::string, std::string, long double, long double, std::string>>
      damaged = {
          // 100 Hz stamps against the header's 200 Hz: 100 % of 100 Hz off.
          {"experiment_rate", "experiment_rate", "", 100, 5, "%"},
          // 200 Hz in the first half of the steps, 100 Hz in the second.
          {"rate_change", "rate_change", "", 100, 10, "%"},
          {"rate_change", "experiment_rate", "", (200 - fk2_rate) / fk2_rate * 100, 5, "%"},
          {"emg_pop", "emg_ceiling", "mr", 8000, 5000, "uV"},
          {"mixed_forms", "mixed_forms", "", 1, 0, "lines"},
          {"calibration_zero", "calibration_degenerate", "", 0, 1, "mm"},
          {"calibration_collinear", "calibration_degenerate", "", 0, 1, "mm"},
          {"duplicate_experiment", "duplicate_experiment", "", 14, 0, "experiment"},
          // The five samples' incisal distances and the experiment's largest.
          {"non_finite_result", "non_finite_result", "", 6, 0, "values"},
      };
  for (const auto& [name, check, channel, value, limit, unit] : damaged) {
    const auto row = finding(name, check, channel);
    EXPECT_NEAR(static_cast<double>(number(row, "value")), static_cast<double>(value), 1e-12)
        << name << " " << check;
    EXPECT_EQ(number(row, "limit"), limit) << name;
    EXPECT_EQ(row.at("unit"), unit) << name;
  }
  for (const auto& [name, channel] : {std::pair{"emg_pop", "mr"}, {"emg_spike", "tr"}})
    EXPECT_GT(number(finding(name, "emg_spike", channel), "value"), 8) << name;
  EXPECT_NE(finding("mixed_forms", "mixed_forms")
                .at("message")
                .find("(the first at line " +
                      std::to_string(
                          Recording(read_file(dir_->file("base4.txt"))).experiment(7)[10] + 1) +
                      ")"),
            std::string::npos);
  EXPECT_NE(finding("position_units", "position_units").at("message").find("centimetres"),
            std::string::npos);
  // LK2's length against the median of the other five trials', from the cut file's stamps.
  {
    const Recording cut(read_file(dir_->file("rec/last_trial_short.txt")));
    auto span = [&](int k) {
      const std::vector<std::size_t> e = cut.experiment(k);
      return std::stold(cut.field(e.back(), 0)) - std::stold(cut.field(e.front(), 0));
    };
    std::vector<long double> others = {span(13), span(14), span(15), span(16), span(17)};
    std::sort(others.begin(), others.end());
    EXPECT_EQ(number(finding("last_trial_short", "last_trial_short"), "value"),
              span(18) / others[2] * 100);
  }
  for (const auto& [name, check, channel, value, limit, unit] : exact) {
    const auto row = finding(name, check, channel);
    EXPECT_EQ(number(row, "value"), value) << name;
    EXPECT_EQ(number(row, "limit"), limit) << name;
    EXPECT_EQ(row.count("unit") ? row.at("unit") : "", unit) << name;
  }
  // One falling step in experiment 5, one repeated stamp in experiment 6.
  for (const auto& row : of("time_order")) EXPECT_EQ(number(row, "value"), 1) << row.at("message");
  EXPECT_EQ(finding("truncated", "missing_experiments").at("message"),
            "only 15 of 18 experiments: missing experiments 16 to 18 (chewing trials RK2, LK1, "
            "LK2)");
  EXPECT_EQ(finding("emg_flat", "emg_flat", "tr").at("message"), "constant at 7.5 uV in FK2");
  EXPECT_EQ(finding("emg_flat", "emg_flat", "tl").at("message"), "all zero in FK1");
  EXPECT_EQ(finding("emg_flat", "emg_flat", "tl").at("trial"), "FK1");
  // The trial's own MVC is above the run-wide one, which is the limit.
  const auto mvc = finding("mvc_below_trial", "mvc_below_trial", "ml");
  EXPECT_GT(number(mvc, "value"), number(mvc, "limit"));
  const auto indices = table(dir_->file("out/indices.csv"));
  for (const auto& row : indices) {
    if (row.at("file") == "rec/mvc_below_trial.txt" && row.at("index") == "3" &&
        row.at("muscle") == "ML") {
      EXPECT_EQ(row.at("value"), mvc.at("limit"));  // index 3: the run-wide MVC
    }
  }
  // The right point moved 10 mm along the right-left line: that distance varies by 10 mm,
  // give or take the sensor noise.
  for (const char* name : {"tracking5", "tracking3"}) {
    const auto row = finding(name, "tracking", "right-left");
    EXPECT_NEAR(static_cast<double>(number(row, "value")), 10.0, 0.2) << name;
    EXPECT_EQ(number(row, "limit"), 2) << name;
  }
}

TEST_F(DataChecksTest, CountsShowInRunsTheProgressLineAndTheCheckPage) {
  const auto runs = table(dir_->file("out/runs.csv"));
  ASSERT_EQ(runs.size(), cases().size());
  for (const auto& run : runs) {
    const std::string name = run.at("file").substr(4, run.at("file").size() - 8);
    int warnings = 0, errors = 0;
    for (const auto& row : of(name)) ++(row.at("severity") == "error" ? errors : warnings);
    EXPECT_EQ(run.at("warnings"), std::to_string(warnings)) << name;
    EXPECT_EQ(run.at("errors"), std::to_string(errors)) << name;
    EXPECT_EQ(run.at("status"), "ok") << name;
    const bool five = name == "no_calibration" || name == "untouched5" || name == "tracking5" ||
                      name == "calibration_after_samples";
    EXPECT_EQ(run.at("points"), five ? "5" : "3") << name;
    // One line of two channels makes the whole recording one of two (which mixed_forms says);
    // channels that hold nothing but 0 are none.
    const char* channels = name == "no_emg" ? "0" : five || name == "mixed_forms" ? "2" : "4";
    EXPECT_EQ(run.at("emg_channels"), channels) << name;
    const std::string page = read_file(dir_->file("out/" + name + "_check.html"));
    const std::string counts = "data-errors=\"" + std::to_string(errors) + "\" data-warnings=\"" +
                               std::to_string(warnings) + "\"";
    EXPECT_NE(page.find(counts), std::string::npos) << name;
    for (const auto& row : of(name))
      EXPECT_NE(page.find("<code>" + row.at("check") + "</code>"), std::string::npos) << name;
  }
  EXPECT_NE(run_->err.find("/no_calibration.txt ... ok, 1 error, 1 warning\n"), std::string::npos)
      << run_->err;
  EXPECT_NE(run_->err.find("/time_order.txt ... ok, 2 errors\n"), std::string::npos);
  EXPECT_NE(run_->err.find("/tracking5.txt ... ok, 4 warnings\n"), std::string::npos);
  EXPECT_NE(run_->err.find("/emg_clipping.txt ... ok, 1 warning\n"), std::string::npos);
  EXPECT_NE(run_->err.find("/untouched4.txt ... ok\n"), std::string::npos);
}

TEST_F(DataChecksTest, StrictFailsOnlyOnErrorFindings) {
  for (const char* name : {"no_calibration", "truncated"}) {
    const std::string file = std::string("rec/") + name + ".txt";
    const CommandResult plain =
        run_program(kStudy, {"--quiet", "--out", "plain", file}, dir_->path());
    EXPECT_EQ(plain.status, 0) << describe(plain);
    const CommandResult strict =
        run_program(kStudy, {"--strict", "--quiet", "--out", "strict", file}, dir_->path());
    EXPECT_EQ(strict.status, 1) << describe(strict);
    EXPECT_NE(strict.err.find("chew_study: 1 of 1 recordings have error findings (--strict; see "
                              "findings.csv)"),
              std::string::npos)
        << strict.err;
    // The report and the tables are written all the same.
    EXPECT_TRUE(file_exists(dir_->file(std::string("strict/") + name + "_output.txt")));
    EXPECT_EQ(read_file(dir_->file("strict/findings.csv")),
              read_file(dir_->file("plain/findings.csv")));
  }
  // Every damage that changes published numbers fails a strict study.
  std::vector<std::string> args = {"--strict", "--quiet", "--out", "strict_all"};
  for (const char* name :
       {"experiment_rate", "rate_change", "emg_pop", "emg_spike", "mixed_forms", "calibration_zero",
        "calibration_collinear", "duplicate_experiment", "last_trial_short", "non_finite_result"})
    args.push_back(std::string("rec/") + name + ".txt");
  const CommandResult all = run_program(kStudy, args, dir_->path());
  EXPECT_EQ(all.status, 1);
  EXPECT_NE(all.err.find("10 of 10 recordings have error findings"), std::string::npos) << all.err;
  // Warnings alone never fail.
  const CommandResult warned = run_program(
      kStudy, {"--strict", "--quiet", "--out", "warned", "rec/skipped_lines.txt"}, dir_->path());
  EXPECT_EQ(warned.status, 0) << describe(warned);
}

TEST_F(DataChecksTest, FindingsDoNotDependOnTheNumberOfJobs) {
  const CommandResult jobs =
      run_program(kStudy, {"--jobs", "3", "--quiet", "--out", "jobs3", "rec"}, dir_->path());
  ASSERT_EQ(jobs.status, 0) << describe(jobs);
  for (const char* t : {"findings.csv", "runs.csv", "experiments.csv", "indices.csv"})
    EXPECT_TRUE(read_file(dir_->file(std::string("jobs3/") + t)) ==
                read_file(dir_->file(std::string("out/") + t)))
        << t;
}

TEST_F(DataChecksTest, ChewEvalsReportIgnoresTheChecks) {
  // chew_eval says nothing about findings: its console stays empty, its report is the study's.
  const CommandResult eval = run_program(CHEW_EVAL_PATH, {"rec/truncated.txt"}, dir_->path());
  EXPECT_EQ(eval.status, 0);
  EXPECT_EQ(eval.out + eval.err, "");
  EXPECT_TRUE(read_file(dir_->file("rec/truncated_output.txt")) ==
              read_file(dir_->file("out/truncated_output.txt")));
}

TEST(DataChecksExamplesTest, ShippedExamplesHaveNoFindings) {
  TempDir dir;
  std::vector<std::string> args = {"--strict", "--quiet", "--out", "out"};
  for (const char* e : {"subject01", "subject02", "subject03"})
    args.push_back(source_path(std::string("examples/") + e + ".txt"));
  const CommandResult run = run_program(kStudy, args, dir.path());
  EXPECT_EQ(run.status, 0) << describe(run);
  EXPECT_EQ(read_file(dir.file("out/findings.csv")),
            "file,check,severity,experiment,trial,channel,value,limit,unit,message\n");
  const auto runs = table(dir.file("out/runs.csv"));
  ASSERT_EQ(runs.size(), 3u);
  const char* form[3][2] = {{"5", "2"}, {"3", "4"}, {"3", "2"}};
  for (std::size_t i = 0; i < runs.size(); ++i) {
    EXPECT_EQ(runs[i].at("warnings") + runs[i].at("errors"), "00") << i;
    EXPECT_EQ(runs[i].at("points"), form[i][0]) << i;
    EXPECT_EQ(runs[i].at("emg_channels"), form[i][1]) << i;
  }
}

TEST(DataChecksExamplesTest, SimulatedRecordingsOfEveryFormAndRateHaveNoFindings) {
  TempDir dir;
  int seed = 70;
  for (const char* form : {"five-point", "three-point-4ch", "three-point-2ch"}) {
    for (const char* rate : {"50", "60", "777", "1000"}) {
      const std::string name = std::string(form) + "_" + rate + ".txt";
      ASSERT_EQ(run_program(CHEW_SIMULATE_PATH,
                            {"--seed", std::to_string(seed++), "--form", form, "--rate", rate,
                             "--scale", "0.5", "--out", name},
                            dir.path())
                    .status,
                0);
    }
  }
  const CommandResult run =
      run_program(kStudy, {"--strict", "--quiet", "--jobs", "2", "--out", "out", "."}, dir.path());
  EXPECT_EQ(run.status, 0) << describe(run);
  EXPECT_EQ(read_file(dir.file("out/findings.csv")),
            "file,check,severity,experiment,trial,channel,value,limit,unit,message\n");
}

}  // namespace
