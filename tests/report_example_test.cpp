// The whole report of a realistic recording: its line structure, and values that one section
// repeats from another or that follow from the data file and the simulator's ground truth.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

// One value formatted as the report formats it.
#define FORMATTED(conversion, value)                       \
  [&] {                                                    \
    char text[64];                                         \
    std::snprintf(text, sizeof text, conversion, (value)); \
    return std::string(text);                              \
  }()

// The whitespace-separated words of a line, with the table's bars dropped.
std::vector<std::string> words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> result;
  for (std::string w; in >> w;)
    if (w != "|" && w != "%") result.push_back(w);
  return result;
}

struct Row {
  int experiment, cycles, first, last;
  std::string masseter_work_r, masseter_work_l, temporalis_work_r, temporalis_work_l;
};

class RealisticReportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string data = source_path("examples/subject02.txt");
    write_file(dir_.file("subject02.txt"), read_file(data));
    CommandResult r = run_program(CHEW_EVAL_PATH, {"subject02.txt"}, dir_.path());
    ASSERT_EQ(r.status, 0) << r.err;
    lines_ = lines_of(read_file(dir_.file("subject02_output.txt")));
    std::istringstream truth(read_file(source_path("examples/subject02.truth")));
    for (int experiment, cycles; truth >> experiment >> cycles;) truth_.push_back(cycles);
    // Sample lines of the three-point form: a time stamp and 16 numbers.
    std::istringstream file(read_file(data));
    for (std::string line; std::getline(file, line);)
      if (!line.empty() && (std::isdigit(static_cast<unsigned char>(line[0])) != 0)) ++samples_;
  }

  // The index of the first line that starts with `text`, from `from` on.
  std::size_t find(const std::string& text, std::size_t from = 0) const {
    for (std::size_t i = from; i < lines_.size(); ++i)
      if (lines_[i].compare(0, text.size(), text) == 0) return i;
    ADD_FAILURE() << "no line starts with " << text;
    return lines_.size();
  }

  // The experiment table's rows.
  std::vector<Row> rows() const {
    std::vector<Row> result;
    for (std::size_t i = find("-----+----+---------------+") + 1; !lines_[i].empty(); ++i) {
      Row row{};
      std::sscanf(lines_[i].c_str(), "%d | %d | %d %d", &row.experiment, &row.cycles, &row.first,
                  &row.last);
      std::vector<std::string> w = words(lines_[i]);
      // ... MVC/noise pairs, then the work columns and balances.
      row.masseter_work_r = w[w.size() - 6];
      row.masseter_work_l = w[w.size() - 5];
      row.temporalis_work_r = w[w.size() - 3];
      row.temporalis_work_l = w[w.size() - 2];
      result.push_back(row);
    }
    return result;
  }

  TempDir dir_;
  std::vector<std::string> lines_;
  std::vector<int> truth_;
  int samples_ = 0;
};

TEST_F(RealisticReportTest, SectionsFollowEachOtherInTheirOrder) {
  ASSERT_EQ(lines_[18], "");
  const std::size_t table = find("Exp. | C. | First    Last |");
  EXPECT_EQ(table, 19u);
  EXPECT_EQ(lines_[table + 3 + 18], "");  // 18 rows and the blank line
  const std::size_t balance = find("     | Z. |  MR  |", table);
  EXPECT_EQ(balance, table + 3 + 18 + 1);
  const std::size_t pairs = find("     | Z. |  MR  |", balance + 1);
  EXPECT_EQ(pairs, balance + 3 + 6 + 1);
  const std::size_t totals = find("       | total M | total T |", pairs);
  EXPECT_EQ(totals, pairs + 3 + 3 + 1);
  const std::size_t legend = find("Exp. = experiment, C. = Number of chewing cycles", totals);
  EXPECT_EQ(legend, totals + 5 + 1);
  const std::size_t title = find("Evaluation tables according to Talvorsen", legend);
  EXPECT_EQ(title, legend + 5 + 1);
  EXPECT_EQ(lines_[title + 1], "");
  const std::size_t indices = find("Table                     | M. masseter", title);
  EXPECT_EQ(indices, title + 2 + 3 + 6 + 2 + 1);  // header, six rows, dashes, summary, blank
  const std::size_t conditions = find("Table              | free chewing", indices);
  EXPECT_EQ(conditions, indices + 2 + 8 + 1);
  EXPECT_EQ(lines_.size(), conditions + 2 + 3 + 1);
  EXPECT_EQ(lines_.back(), "");
}

TEST_F(RealisticReportTest, SummaryMatchesTheDataFile) {
  EXPECT_EQ(lines_[1], "Person                                :  Simulated subject 2");
  EXPECT_EQ(lines_[5], "Frequency                             : 100");
  EXPECT_EQ(lines_[6],
            "Number of entries / type              : " + std::to_string(samples_) + "/1");
  EXPECT_EQ(lines_[7], "Number of experiments                 : 18");
  // Four channels: every MVC and noise level is positive, every activity level 3 % of its MVC.
  long double mvc[4], nl[4];
  ASSERT_EQ(std::sscanf(lines_[11].c_str(), "MVC (M. masseter right/left) : %Lf uV / %Lf uV",
                        &mvc[0], &mvc[1]),
            2);
  ASSERT_EQ(std::sscanf(lines_[12].c_str(), "MVC (M. temporalsis right/left) : %Lf uV / %Lf uV",
                        &mvc[2], &mvc[3]),
            2);
  ASSERT_EQ(std::sscanf(lines_[13].c_str(), "NL (M. masseter right/left) : %Lf uV %Lf uV", &nl[0],
                        &nl[1]),
            2);
  ASSERT_EQ(std::sscanf(lines_[14].c_str(), "NL (M. temporalis right/left) : %Lf uV %Lf uV", &nl[2],
                        &nl[3]),
            2);
  long double level[4];
  ASSERT_EQ(std::sscanf(lines_[17].c_str(),
                        "EMG threshold, active phase : 3%% (= %LfuV %LfuV %LfuV %LfuV)", &level[0],
                        &level[1], &level[2], &level[3]),
            4);
  for (int c = 0; c < 4; ++c) {
    EXPECT_GT(mvc[c], 50 * nl[c]) << c;  // clenching against the quietest chewing window
    EXPECT_GT(nl[c], 0) << c;
    EXPECT_NEAR(level[c], 0.03L * mvc[c], 0.01L) << c;
  }
}

TEST_F(RealisticReportTest, ExperimentTableCountsTheTrueCyclesOverContiguousExperiments) {
  std::vector<Row> table = rows();
  ASSERT_EQ(table.size(), 18u);
  for (std::size_t k = 0; k < table.size(); ++k) {
    EXPECT_EQ(table[k].experiment, static_cast<int>(k) + 1);
    EXPECT_EQ(table[k].first, k == 0 ? 0 : table[k - 1].last + 1);
    EXPECT_EQ(table[k].cycles, k < 12 ? 0 : truth_[k - 12]) << "experiment " << k + 1;
  }
  EXPECT_EQ(table.back().last, samples_ - 1);
}

TEST_F(RealisticReportTest, LaterSectionsRepeatTheExperimentTable) {
  const std::vector<Row> table = rows();
  const char* labels[] = {"FK1", "FK2", "RK1", "RK2", "LK1", "LK2"};
  const std::size_t first = find(" FK1 |");
  for (int t = 0; t < 6; ++t) {
    std::vector<std::string> w = words(lines_[first + t]);
    ASSERT_GE(w.size(), 8u);
    EXPECT_EQ(w[0], labels[t]);
    const Row& row = table[12 + t];
    EXPECT_EQ(w[2], row.masseter_work_r);
    EXPECT_EQ(w[3], row.masseter_work_l);
    EXPECT_EQ(w[5], row.temporalis_work_r);
    EXPECT_EQ(w[6], row.temporalis_work_l);
  }

  // Row 3 repeats the run-wide MVC of the summary with two decimals.
  std::vector<std::string> mvc_line = words(lines_[find("3 mikroVolt_MVC")]);
  std::vector<std::string> masseter = words(lines_[11]), temporalis = words(lines_[12]);
  ASSERT_EQ(mvc_line.size(), 10u);
  EXPECT_EQ(mvc_line[3], masseter[5]);
  EXPECT_EQ(mvc_line[5], masseter[8]);
  EXPECT_EQ(mvc_line[7], temporalis[5]);
  EXPECT_EQ(mvc_line[9], temporalis[8]);

  // Rows 9 to 11 from the cycle counts, the sample ranges and the sampling frequency.
  const long double f = 100;
  std::string cycles = " 9 AnzahlKauzyklen", duration = "10 DauerKausequenz",
              frequency = "11 Kaufrequenz    ";
  const char* names[3][3] = {{"akz_m1", "dauer_m1", "fre_m1"},
                             {"akz_m2", "dauer_m2", "fre_m2"},
                             {"akz_m3", "dauer_m3", "fre_m3"}};
  for (int c = 0; c < 3; ++c) {
    const Row& a = table[12 + 2 * c];
    const Row& b = table[13 + 2 * c];
    cycles += std::string(" | ") + names[c][0] + " " +
              FORMATTED("%7.1Lf", static_cast<long double>(a.cycles + b.cycles) / 2);
    duration +=
        std::string(" | ") + names[c][1] + " " + FORMATTED("%5.2Lf", (b.last - a.first) / (f + f));
    frequency +=
        std::string(" | ") + names[c][2] + " " +
        FORMATTED("%7.3Lf",
                  ((a.cycles * f) / (a.last - a.first) + (b.cycles * f) / (b.last - b.first)) / 2);
  }
  EXPECT_EQ(lines_[find(" 9 AnzahlKauzyklen")], cycles);
  EXPECT_EQ(lines_[find("10 DauerKausequenz")], duration);
  EXPECT_EQ(lines_[find("11 Kaufrequenz")], frequency);
}

TEST(GoldenReportTest, ExampleReportIsUnchanged) {
  // The reviewed report of the README's example; a change of format or arithmetic shows here
  // and is committed with the golden file in the same change.
  TempDir dir;
  write_file(dir.file("subject01.txt"), read_file(source_path("examples/subject01.txt")));
  ASSERT_EQ(run_program(CHEW_EVAL_PATH, {"subject01.txt"}, dir.path()).status, 0);
  EXPECT_EQ(read_file(dir.file("subject01_output.txt")),
            read_file(source_path("tests/golden/subject01_output.txt")));
}

}  // namespace
