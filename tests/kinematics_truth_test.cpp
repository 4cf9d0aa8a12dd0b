// Chewing strokes against the simulator's truth, on recordings of every form (the jaw-only one
// too) at rates from 100 to 1000 Hz: each trial's strokes of strokes.csv are the simulated ones,
// none missing and none extra; peaks fall within one sample step, occlusions within 20 ms,
// vertical openings within 0.5 mm; the kinematic side and the sequencing are right on at least
// 95 % of the strokes and the masseters confirm exactly the strokes with a burst. The trials'
// summaries, the jaw-only recordings' too, agree with the strokes.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

struct TruthStroke {
  int experiment;
  long long open_ms, peak_ms, occlusion_ms;
  std::string side;
  double vertical_mm;
  std::string kind, sequencing, shape;
};

std::vector<TruthStroke> strokes_of(const std::string& truth) {
  std::vector<TruthStroke> strokes;
  for (const std::string& line : lines_of(truth)) {
    std::istringstream in(line);
    std::string word;
    TruthStroke s{};
    if (in >> word && word == "stroke" &&
        in >> s.experiment >> s.open_ms >> s.peak_ms >> s.occlusion_ms >> s.side >> s.vertical_mm >>
            s.kind >> s.sequencing >> s.shape)
      strokes.push_back(s);
  }
  return strokes;
}

struct Config {
  const char* form;
  int rate;
  int seed;
};

TEST(KinematicsTruthTest, StrokesAreTheSimulatedOnes) {
  const Config configs[] = {{"five-point", 1000, 61},     {"five-point", 200, 62},
                            {"three-point-4ch", 500, 63}, {"three-point-4ch", 100, 64},
                            {"three-point-2ch", 250, 65}, {"jaw-only", 1000, 66},
                            {"jaw-only", 100, 67}};
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
  // trials.csv recomputed from strokes.csv; the jaw-only recordings have their summaries too,
  // over all strokes only.
  const CommandResult check = run_program(
      "python3", {source_path("tests/kinematics_check.py"), dir.file("out")}, dir.path());
  EXPECT_EQ(check.status, 0) << check.out << check.err;
  for (const auto& row : csv_table(read_file(dir.file("out/trials.csv")))) {
    if (row.at("file") != "r66.txt") continue;
    EXPECT_EQ(row.at("stroke_set"), "all");
    EXPECT_NE(row.at("cycle_cv_pct"), "") << row.at("trial");
    EXPECT_NE(row.at("stroke_frequency_Hz"), "") << row.at("trial");
  }
  std::map<std::string, std::vector<std::map<std::string, std::string>>> found;  // file/exp
  for (auto& row : csv_table(read_file(dir.file("out/strokes.csv"))))
    found[row.at("file") + "/" + row.at("experiment")].push_back(row);

  for (const Config& c : configs) {
    SCOPED_TRACE(std::string(c.form) + " at " + std::to_string(c.rate) + " Hz");
    const std::string name = "r" + std::to_string(c.seed);
    const bool emg = std::string(c.form) != "jaw-only";
    const long long step = (1000 + c.rate - 1) / c.rate;  // ms between samples, rounded up
    std::map<int, std::vector<TruthStroke>> truth;
    for (const TruthStroke& s : strokes_of(read_file(dir.file(name + ".truth"))))
      truth[s.experiment].push_back(s);
    ASSERT_EQ(truth.size(), 6u);
    int strokes = 0, side = 0, sequencing = 0, shapes = 0;
    for (const auto& [experiment, planned] : truth) {
      const auto& rows = found[name + ".txt/" + std::to_string(experiment)];
      ASSERT_EQ(rows.size(), planned.size()) << "experiment " << experiment;
      for (std::size_t k = 0; k < rows.size(); ++k) {
        const auto& row = rows[k];
        const TruthStroke& s = planned[k];
        const std::string where = "experiment " + std::to_string(experiment) + " stroke " +
                                  std::to_string(k + 1) + " (" + s.shape + ")";
        ++strokes;
        EXPECT_LE(std::llabs(std::stoll(row.at("peak_time_ms")) - s.peak_ms), step) << where;
        EXPECT_LE(std::llabs(std::stoll(row.at("occlusion_time_ms")) - s.occlusion_ms), 20)
            << where;
        EXPECT_NEAR(std::stod(row.at("vertical_mm")), s.vertical_mm, 0.5) << where;
        EXPECT_EQ(row.at("emg_confirmed"), emg ? (s.kind == "chew" ? "1" : "0") : "") << where;
        side += row.at("side_kinematic") == s.side;
        sequencing += row.at("sequencing") == s.sequencing;
        shapes += s.shape != "single";
      }
    }
    ASSERT_GT(strokes, 40);
    EXPECT_GT(shapes, 0);  // held or double strokes among them
    EXPECT_GE(side, 0.95 * strokes) << side << " of " << strokes;
    EXPECT_GE(sequencing, 0.95 * strokes) << sequencing << " of " << strokes;
  }
}

}  // namespace
