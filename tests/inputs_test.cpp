// Where chew_eval puts its report, end to end on files written here: beside its data file however
// the path is spelled, never in the data file's place.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;

const std::string kEval = CHEW_EVAL_PATH;
const std::string kStudy = CHEW_STUDY_PATH;

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

// chew_eval under a time limit: a program that blocks on its input ends with status 124.
CommandResult eval_within(const std::vector<std::string>& args, const std::string& cwd) {
  std::vector<std::string> all = {"-k", "5", "20", kEval};
  all.insert(all.end(), args.begin(), args.end());
  return run_program("timeout", all, cwd);
}

CommandResult study_within(const std::vector<std::string>& args, const std::string& cwd) {
  std::vector<std::string> all = {"-k", "5", "60", kStudy};
  all.insert(all.end(), args.begin(), args.end());
  return run_program("timeout", all, cwd);
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

TEST(InputsTest, ChewEvalNeverReplacesItsDataFile) {
  TempDir dir;
  fs::create_directories(dir.file("a.d"));
  const std::string content = recording("kept");

  // A recording named like a report, reached through a dotted folder: its report gets a name of
  // its own beside it.
  write_file(dir.file("a_output.txt"), content);
  CommandResult r = eval_within({"a.d/../a_output.txt"}, dir.path());
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(read_file(dir.file("a_output.txt")), content);
  EXPECT_EQ(read_file(dir.file("a_output_output.txt")), plain_report(content));
  fs::remove(dir.file("a_output.txt"));
  fs::remove(dir.file("a_output_output.txt"));

  // The report's name is another name of the data file: a hard link, a symbolic link from the
  // report's name, one from the data file's name. Refused, nothing written or removed.
  write_file(dir.file("hard.txt"), content);
  fs::create_hard_link(dir.file("hard.txt"), dir.file("hard_output.txt"));
  write_file(dir.file("sym.txt"), content);
  fs::create_symlink("sym.txt", dir.file("sym_output.txt"));
  write_file(dir.file("via_output.txt"), content);
  fs::create_symlink("via_output.txt", dir.file("via.txt"));
  struct Case {
    std::string path, report;
  } cases[] = {
      {"hard.txt", "hard_output.txt"},
      {"a.d/../hard.txt", "a.d/../hard_output.txt"},
      {dir.file("hard.txt"), dir.file("hard_output.txt")},
      {"sym.txt", "sym_output.txt"},
      {"via.txt", "via_output.txt"},
  };
  const std::map<std::string, std::string> before = tree(dir.path());
  for (const Case& c : cases) {
    r = eval_within({c.path}, dir.path());
    EXPECT_EQ(r.status, 1) << c.path;
    EXPECT_EQ(r.out, "") << c.path;
    EXPECT_EQ(r.err, "chew_eval: the report '" + c.report + "' would replace the data file '" +
                         c.path + "' (both names lead to one file); nothing written\n");
    EXPECT_TRUE(tree(dir.path()) == before) << c.path;
  }
  struct stat info {};
  ASSERT_EQ(stat(dir.file("hard.txt").c_str(), &info), 0);
  EXPECT_EQ(info.st_nlink, 2u);  // both names still lead to the recording

  // An ordinary older report of that name is still replaced.
  write_file(dir.file("plain.txt"), content);
  write_file(dir.file("plain_output.txt"), "an older report\n");
  EXPECT_EQ(eval_within({"plain.txt"}, dir.path()).status, 0);
  EXPECT_EQ(read_file(dir.file("plain_output.txt")), plain_report(content));
}

TEST(InputsTest, StudyRefusesAReportThatIsOneOfItsRecordings) {
  TempDir dir;
  fs::create_directories(dir.file("d"));
  const std::string content = recording("kept");
  write_file(dir.file("d/hard.txt"), content);
  fs::create_hard_link(dir.file("d/hard.txt"), dir.file("d/hard_output.txt"));
  write_file(dir.file("d/sym.txt"), content);
  fs::create_symlink("sym.txt", dir.file("d/sym_output.txt"));
  const std::map<std::string, std::string> before = tree(dir.path());
  for (const char* name : {"hard", "sym"}) {
    const std::string path = std::string("d/") + name + ".txt";
    const CommandResult r = study_within({"--out", "d", path}, dir.path());
    EXPECT_EQ(r.status, 2) << path;
    EXPECT_NE(r.err.find("chew_study: the report of '" + path + "' would replace the recording '" +
                         path + "'\n"),
              std::string::npos)
        << r.err;
    EXPECT_TRUE(tree(dir.path()) == before) << path;
  }
}

}  // namespace
