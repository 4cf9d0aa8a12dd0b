// Border movements and clenches against the simulator's truth, with the simulator's protocol
// (examples/protocol.csv), on recordings of every form: every movements.csv figure within 0.5 mm
// of the planned extent, every clench index within 2 points of the one worked out by hand from
// the channels' levels over the clench plateau. POC and torque add up sample by sample, so the
// 50 ms smoothing's own fluctuation (the noise of the EMG) enters them; smoothed over 1 s, in a
// 2 s window of the 2.4 s plateau, the samples follow the level.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

using Row = std::map<std::string, std::string>;

std::optional<double> value(const std::string& text) {
  if (text.empty() || text == "-") return std::nullopt;
  return std::stod(text);
}

// The indices of a clench whose channels hold these levels throughout (per cent).
std::map<std::string, std::optional<double>> indices_of(std::optional<double> mr,
                                                        std::optional<double> ml,
                                                        std::optional<double> tr,
                                                        std::optional<double> tl) {
  std::map<std::string, std::optional<double>> x;
  auto poc = [](double a, double b) { return 100 * (1 - std::fabs(a - b) / (a + b)); };
  auto asym = [](double a, double b) { return 100 * (a - b) / (a + b); };
  x["poc_masseter_pct"] = mr ? std::optional(poc(*mr, *ml)) : std::nullopt;
  x["asymmetry_masseter_pct"] = mr ? std::optional(asym(*mr, *ml)) : std::nullopt;
  if (tr) {
    const double all = *mr + *ml + *tr + *tl;
    x["poc_temporalis_pct"] = poc(*tr, *tl);
    x["asymmetry_temporalis_pct"] = asym(*tr, *tl);
    x["torque_pct"] = 100 * std::fabs((*tr + *ml) - (*tl + *mr)) / all;
    x["activity_pct"] = 100 * ((*mr + *ml) - (*tr + *tl)) / all;
  } else {
    for (const char* c :
         {"poc_temporalis_pct", "asymmetry_temporalis_pct", "torque_pct", "activity_pct"})
      x[c] = std::nullopt;
  }
  return x;
}

TEST(ClinicalTruthTest, MovementsAndClenchesAreThePlannedOnes) {
  const struct {
    const char* form;
    int rate, seed;
  } configs[] = {{"five-point", 200, 71},
                 {"three-point-4ch", 1000, 72},
                 {"three-point-4ch", 100, 73},
                 {"three-point-2ch", 500, 74},
                 {"jaw-only", 250, 75}};
  TempDir dir;
  std::vector<std::string> args = {"--quiet",
                                   "--rms-time",
                                   "1000",
                                   "--mvc-time",
                                   "2000",
                                   "--protocol",
                                   source_path("examples/protocol.csv"),
                                   "--out",
                                   "out"};
  for (const auto& c : configs) {
    const std::string name = "r" + std::to_string(c.seed);
    ASSERT_EQ(
        run_program(CHEW_SIMULATE_PATH,
                    {"--seed", std::to_string(c.seed), "--form", c.form, "--rate",
                     std::to_string(c.rate), "--out", name + ".txt", "--truth", name + ".truth"},
                    dir.path())
            .status,
        0);
    args.push_back(name + ".txt");
  }
  const CommandResult study = run_program(CHEW_STUDY_PATH, args, dir.path());
  ASSERT_EQ(study.status, 0) << study.err;
  std::map<std::string, Row> found;  // "file experiment"
  for (const char* table : {"movements.csv", "clenches.csv"})
    for (Row& row : csv_table(read_file(dir.file(std::string("out/") + table))))
      found[row.at("file") + " " + row.at("experiment")] = row;

  int movements = 0, clenches = 0;
  for (const auto& c : configs) {
    const std::string name = "r" + std::to_string(c.seed);
    SCOPED_TRACE(name + " " + c.form);
    for (const std::string& line : lines_of(read_file(dir.file(name + ".truth")))) {
      std::istringstream in(line);
      std::vector<std::string> w;
      for (std::string word; in >> word;) w.push_back(word);
      if (w.empty() || (w[0] != "movement" && w[0] != "clench")) continue;
      const auto at = found.find(name + ".txt " + w[1]);
      ASSERT_NE(at, found.end()) << line;
      const Row& row = at->second;
      if (w[0] == "movement") {
        ++movements;
        EXPECT_EQ(row.at("role"), w[2]) << line;
        const char* const columns[] = {"opening_mm", "lateral_mm", "protrusion_mm", "deviation_mm",
                                       "deflection_mm"};
        for (int k = 0; k < 5; ++k) {
          const std::optional<double> truth = value(w[3 + k]), got = value(row.at(columns[k]));
          ASSERT_EQ(truth.has_value(), got.has_value()) << line << " " << columns[k];
          if (truth) {
            EXPECT_NEAR(*got, *truth, 0.5) << line << " " << columns[k];
          }
        }
      } else {
        ++clenches;
        EXPECT_EQ(row.at("standardized"), "0");
        for (const auto& [column, truth] :
             indices_of(value(w[2]), value(w[3]), value(w[4]), value(w[5]))) {
          const std::optional<double> got = value(row.at(column));
          ASSERT_EQ(truth.has_value(), got.has_value()) << line << " " << column;
          if (truth) {
            EXPECT_NEAR(*got, *truth, 2) << line << " " << column;
          }
        }
      }
    }
  }
  EXPECT_EQ(movements, 6 * 5);
  EXPECT_EQ(clenches, 2 * 5);
}

}  // namespace
