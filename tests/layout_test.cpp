// chew_study on a lab's folders: subfolders searched, reports and pages at the recordings' places
// inside --out, explicit files placed alike, --list, and a recording of no sample failed.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;

// Simulated with seeds 1, 2, ... in this order: five recordings, then what is none of study/'s.
const std::vector<std::string> kFiles = {
    "study/p01/session1.txt", "study/p02/session1.txt", "study/S01.pre.txt",   "study/S01.post.txt",
    "study/p02/LOUD.TXT",     "study/.hidden.txt",      "study/.old/r.txt",    "study/x_output.txt",
    "study/p01/Y_OUTPUT.TXT", "nested/a/r.txt",         "nested/r_output.txt", "t4.txt"};

class LayoutTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    for (std::size_t k = 0; k < kFiles.size(); ++k) {
      fs::create_directories(fs::path(dir_->file(kFiles[k])).parent_path());
      run({"--seed", std::to_string(k + 1), "--form", "three-point-4ch", "--samples", "2000",
           "--out", kFiles[k]},
          CHEW_SIMULATE_PATH);
    }
    std::string text;  // a three-point recording without its calibration line: no sample read
    for (const std::string& line : lines_of(read_file(dir_->file("t4.txt"))))
      if (line.rfind("Calibr", 0) != 0) text += line + "\n";
    write_file(dir_->file("nocal.txt"), text);
  }
  static void TearDownTestSuite() { delete dir_; }
  static CommandResult run(const std::vector<std::string>& args,
                           const std::string& program = CHEW_STUDY_PATH) {
    return run_program(program, args, dir_->path());
  }
  static TempDir* dir_;
};
TempDir* LayoutTest::dir_ = nullptr;

TEST_F(LayoutTest, ReportsAndPagesKeepTheRecordingsPlaces) {
  const CommandResult r = run({"--quiet", "--pages", "--out", "out", "study"});
  ASSERT_EQ(r.status, 0) << describe(r);
  const auto runs = csv_table(read_file(dir_->file("out/runs.csv")));
  const std::string index = read_file(dir_->file("out/index.html"));
  // In byte order of the paths, with the seeds they were simulated with; no hidden file, no report.
  const std::vector<std::string> taken = {"S01.post", "S01.pre", "p01/session1", "p02/LOUD.TXT",
                                          "p02/session1"};
  const int seeds[] = {4, 3, 1, 5, 2};
  ASSERT_EQ(runs.size(), taken.size());
  for (std::size_t k = 0; k < taken.size(); ++k) {
    const std::string& name = taken[k];
    EXPECT_EQ(runs[k].at("file"), "study/" + name + (name == "p02/LOUD.TXT" ? "" : ".txt"));
    EXPECT_EQ(runs[k].at("report"), name + "_output.txt");
    EXPECT_NE(read_file(dir_->file("out/" + name + "_output.txt"))
                  .find("Simulated subject " + std::to_string(seeds[k]) + "\n"),
              std::string::npos)
        << name;
    EXPECT_TRUE(file_exists(dir_->file("out/" + name + "_check.html"))) << name;
    EXPECT_NE(index.find("<a href=\"" + name + "_check.html\""), std::string::npos) << name;
  }
}

TEST_F(LayoutTest, ListsAndRunsTakeTheSameRecordings) {
  const std::string first = "study/S01.post.txt\nstudy/S01.pre.txt\n";
  const std::string all = first +
                          "study/p01/session1.txt\nstudy/p02/LOUD.TXT\n"
                          "study/p02/session1.txt\n";
  std::string nul = all;
  for (char& c : nul) c = c == '\n' ? '\0' : c;
  const std::string nested_warning =
      "chew_study: warning: no recordings in folder 'nested' (no .txt files at its first level "
      "(--no-recursive); reports *_output.txt and hidden files are left out)\n";
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string out, err, rows;  // rows: runs.csv's status and report, one row a line
  } cases[] = {
      {{"--list", "study"}, 0, all, "", ""},
      {{"--list", "-0", "study"}, 0, nul, "", ""},
      {{"--list", "--no-recursive", "study"}, 0, first, "", ""},
      {{"--list", "--out", "study/p02", "study"}, 0, first + "study/p01/session1.txt\n", "", ""},
      {{"--list", "--no-recursive", "nested"}, 0, "", nested_warning, ""},
      {{"--no-recursive", "study"}, 0, "", "", "ok S01.post_output.txt\nok S01.pre_output.txt\n"},
      {{"study/p01/session1.txt", "study/p02/session1.txt"},
       0,
       "",
       "",
       "ok p01/session1_output.txt\nok p02/session1_output.txt\n"},
      {{"study/S01.pre.txt", "study/p02/../S01.post.txt"},
       0,
       "",
       "",
       "ok S01.pre_output.txt\nok S01.post_output.txt\n"},
      {{"--base", "study", "study/p01/session1.txt"}, 0, "", "", "ok p01/session1_output.txt\n"},
      {{"--base", "study/p01", "study/p02/session1.txt"},
       2,
       "",
       "chew_study: 'study/p02/session1.txt' is not inside the --base folder 'study/p01'\n",
       ""},
      {{"--no-recursive", "nested"},
       2,
       "",
       nested_warning + "chew_study: no recordings to evaluate\n",
       ""},
      {{"nocal.txt"},
       1,
       "",
       "chew_study: 1 of 1 recordings failed (see runs.csv)\n",
       "no sample read (2000 lines skipped) \n"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"--quiet", "--out", "runs"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const CommandResult r = run(args);
    EXPECT_EQ(r.status, c.status) << c.args[0] << " " << c.args.back();
    EXPECT_EQ(r.out, c.out) << c.args[0] << " " << c.args.back();
    EXPECT_EQ(r.err, c.err);
    std::string rows;
    if (file_exists(dir_->file("runs/runs.csv")))
      for (const auto& row : csv_table(read_file(dir_->file("runs/runs.csv"))))
        rows += row.at("status") + " " + row.at("report") + "\n";
    EXPECT_EQ(rows, c.rows) << c.args[0] << " " << c.args.back();
    EXPECT_EQ(file_exists(dir_->file("runs")), !c.rows.empty());  // --list writes nothing
    fs::remove_all(dir_->file("runs"));
  }
}

}  // namespace
