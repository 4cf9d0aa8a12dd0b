// Chewing kinematics against the simulator's truth: every confirmed cycle of cycles.csv is
// matched to the simulated stroke whose peak lies nearest its own, on recordings of all three
// forms at rates from 100 to 1000 Hz. The peaks must fall on the same sample, within one sample
// step; the vertical amplitudes within 0.5 mm; the kinematic side must be the stroke's working
// side on at least 95 % of the cycles and the EMG side on at least 90 %.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

struct Stroke {
  int experiment;
  long long peak_ms, close_ms;
  std::string side;
  double vertical_mm;
};

std::vector<Stroke> strokes_of(const std::string& truth) {
  std::vector<Stroke> strokes;
  for (const std::string& line : lines_of(truth)) {
    std::istringstream in(line);
    std::string word, kind;
    Stroke s{};
    if (in >> word && word == "stroke" &&
        in >> s.experiment >> s.peak_ms >> s.close_ms >> s.side >> s.vertical_mm >> kind)
      strokes.push_back(s);
  }
  return strokes;
}

struct Config {
  const char* form;
  int rate;
  int seed;
};

TEST(KinematicsTruthTest, ConfirmedCyclesMatchTheSimulatedStrokes) {
  const Config configs[] = {{"five-point", 1000, 61},      {"five-point", 200, 62},
                            {"three-point-4ch", 500, 63},  {"three-point-4ch", 100, 64},
                            {"three-point-2ch", 1000, 65}, {"three-point-2ch", 250, 66}};
  TempDir dir;
  std::vector<std::string> names;
  for (const Config& c : configs) {
    const std::string name = "r" + std::to_string(c.seed);
    const CommandResult made = run_program(
        CHEW_SIMULATE_PATH,
        {"--seed", std::to_string(c.seed), "--form", c.form, "--rate", std::to_string(c.rate),
         "--scale", "0.5", "--out", name + ".txt", "--truth", name + ".truth"},
        dir.path());
    ASSERT_EQ(made.status, 0) << made.err;
    names.push_back(name + ".txt");
  }
  std::vector<std::string> args = {"--quiet", "--out", "out"};
  args.insert(args.end(), names.begin(), names.end());
  const CommandResult study = run_program(CHEW_STUDY_PATH, args, dir.path());
  ASSERT_EQ(study.status, 0) << study.err;

  const auto cycles = csv_table(read_file(dir.file("out/cycles.csv")));
  ASSERT_FALSE(cycles.empty());

  for (const Config& c : configs) {
    SCOPED_TRACE(std::string(c.form) + " at " + std::to_string(c.rate) + " Hz");
    const std::string name = "r" + std::to_string(c.seed);
    const std::vector<Stroke> strokes = strokes_of(read_file(dir.file(name + ".truth")));
    ASSERT_FALSE(strokes.empty());
    const long long step = (1000 + c.rate - 1) / c.rate;  // ms between samples, rounded up
    int confirmed = 0, kinematic = 0, emg = 0;
    for (const auto& f : cycles) {
      if (f.at("file") != name + ".txt" || f.at("confirmed") != "1") continue;
      ++confirmed;
      const int experiment = std::stoi(f.at("experiment"));
      const long long peak = std::stoll(f.at("peak_time_ms"));
      const Stroke* nearest = nullptr;
      for (const Stroke& s : strokes)
        if (s.experiment == experiment &&
            (nearest == nullptr ||
             std::llabs(s.peak_ms - peak) < std::llabs(nearest->peak_ms - peak)))
          nearest = &s;
      ASSERT_NE(nearest, nullptr);
      const std::string where = "experiment " + f.at("experiment") + " cycle " + f.at("cycle");
      EXPECT_LE(std::llabs(nearest->peak_ms - peak), step) << where;
      EXPECT_NEAR(std::stod(f.at("vertical_mm")), nearest->vertical_mm, 0.5) << where;
      kinematic += f.at("side_kinematic") == nearest->side;
      emg += f.at("side_emg") == nearest->side;
    }
    ASSERT_GT(confirmed, 20);
    EXPECT_GE(kinematic, 0.95 * confirmed) << kinematic << " of " << confirmed;
    EXPECT_GE(emg, 0.90 * confirmed) << emg << " of " << confirmed;
  }
}

}  // namespace
