// Where chew_eval puts its report, end to end on files written here: beside its data file however
// the path is spelled.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;

const std::string kEval = CHEW_EVAL_PATH;

// A small five-point recording of two experiments; `person` tells the reports apart.
std::string recording(const std::string& person) {
  std::string text = "Person:" + person +
                     "\nSex:m\nBorn:2000\nCreation date:today\nFrequency:   100\n"
                     "Calibr 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0\n";
  for (int e = 0; e < 2; ++e)
    for (int i = 0; i < 5; ++i)
      text += std::to_string(i * 10) + " 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 0 0 0 " +
              std::to_string(10 + i + e) + " -" + std::to_string(5 + i) + "\n";
  return text;
}

// Every path under `folder` (relative to it) with its content; folders, links and special
// files as a marker, so that any file appearing, vanishing or changing shows.
std::map<std::string, std::string> tree(const std::string& folder) {
  std::map<std::string, std::string> files;
  for (const auto& item : fs::recursive_directory_iterator(folder)) {
    const std::string name = fs::relative(item.path(), folder).string();
    if (item.is_symlink())
      files[name] = "-> " + fs::read_symlink(item.path()).string();
    else if (item.is_regular_file())
      files[name] = read_file(item.path().string());
    else
      files[name] = item.is_directory() ? "(folder)" : "(special)";
  }
  return files;
}

// The report chew_eval writes for `content` run on a plain file name in a fresh folder.
std::string plain_report(const std::string& content) {
  TempDir dir;
  write_file(dir.file("rec.txt"), content);
  const CommandResult r = run_program(kEval, {"rec.txt"}, dir.path());
  EXPECT_EQ(r.status, 0) << r.err;
  return read_file(dir.file("rec_output.txt"));
}

TEST(InputsTest, ChewEvalWritesTheReportBesideItsDataFile) {
  // One tree, runs from several working folders; each run must add exactly its report, at the
  // data file's folder as the path spells it, holding that recording's report.
  TempDir dir;
  fs::create_directories(dir.file("work"));
  fs::create_directories(dir.file("data"));
  fs::create_directories(dir.file("home/a.b/c.d"));
  struct Case {
    std::string cwd;     // from the tree's root
    std::string path;    // as given to chew_eval
    std::string data;    // the data file, from the root
    std::string report;  // where the report must appear, from the root
  } cases[] = {
      // Two subjects from one working folder: two reports, none in the working folder.
      {"work", "../data/s01.txt", "data/s01.txt", "data/s01_output.txt"},
      {"work", "../data/s02.txt", "data/s02.txt", "data/s02_output.txt"},
      {"", "data/s03.txt", "data/s03.txt", "data/s03_output.txt"},
      {"", "./data/rec.txt", "data/rec.txt", "data/rec_output.txt"},
      {"", "rec.b.txt", "rec.b.txt", "rec_output.txt"},
      {"work", "../home/a.b/c.d/rec.v2.txt", "home/a.b/c.d/rec.v2.txt",
       "home/a.b/c.d/rec_output.txt"},
      {"home", "a.b/../a.b/rec.txt", "home/a.b/rec.txt", "home/a.b/rec_output.txt"},
      {"work", dir.file("home/a.b/abs.txt"), "home/a.b/abs.txt", "home/a.b/abs_output.txt"},
      {"data", ".hidden.txt", "data/.hidden.txt", "data/_output.txt"},
  };
  for (const Case& c : cases) {
    const std::string content = recording(c.data);
    write_file(dir.file(c.data), content);
    std::map<std::string, std::string> expected = tree(dir.path());
    expected[c.report] = plain_report(content);
    const CommandResult r = run_program(kEval, {c.path}, dir.file(c.cwd));
    EXPECT_EQ(r.status, 0) << c.path;
    EXPECT_EQ(r.out + r.err, "") << c.path;
    EXPECT_TRUE(tree(dir.path()) == expected) << c.path << " should write " << c.report;
  }
  // Every report is still there, each its own recording's.
  EXPECT_NE(read_file(dir.file("data/s01_output.txt")).find("data/s01.txt"), std::string::npos);
  EXPECT_NE(read_file(dir.file("data/s02_output.txt")).find("data/s02.txt"), std::string::npos);
}

}  // namespace
