// End-to-end runs of the built chew_eval: exit statuses, console output, the report file.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

const std::string kEval = CHEW_EVAL_PATH;

// A small five-point recording: two experiments of a few samples.
std::string small_recording(const char* line_end = "\n") {
  std::string nl = line_end;
  std::string text = "Person:Test" + nl + "Sex:m" + nl + "Born:2000" + nl + "Creation date:today" +
                     nl + "Frequency:   100" + nl + "Calibr 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0" + nl;
  for (int e = 0; e < 2; ++e)
    for (int i = 0; i < 5; ++i)
      text += std::to_string(i * 10) + " 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 0 0 0 " +
              std::to_string(10 + i) + " -" + std::to_string(5 + i) + nl;
  return text;
}

CommandResult eval(const TempDir& dir, std::vector<std::string> args) {
  return run_program(kEval, args, dir.path());
}

TEST(ChewEvalCliTest, HelpComesFirstAndWritesNoReport) {
  TempDir dir;
  write_file(dir.file("data.txt"), small_recording());
  for (std::vector<std::string> args : {std::vector<std::string>{},
                                        {"-h", "data.txt"},
                                        {"-rms_time", "80"},
                                        {"-rms_time", "-5", "-h"}}) {
    CommandResult r = eval(dir, args);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind(kEval + ": [-h] datafile.txt \n", 0), 0u);
    EXPECT_EQ(lines_of(r.out).size(), 8u);
    EXPECT_EQ(r.err, "");
  }
  EXPECT_FALSE(file_exists(dir.file("data_output.txt")));
  CommandResult r = eval(dir, {"-rms_time", "-5", "-h"});
  EXPECT_NE(r.out.find("(default = \"-5\" ms)"), std::string::npos);
}

TEST(ChewEvalCliTest, ARunWritesOnlyTheReport) {
  TempDir dir;
  write_file(dir.file("data.txt"), small_recording());
  CommandResult r = eval(dir, {"data.txt", "-h"});  // options after the path are ignored
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "");
  std::vector<std::string> report = lines_of(read_file(dir.file("data_output.txt")));
  ASSERT_GE(report.size(), 19u);
  EXPECT_EQ(report[0], "Version                               : 2.0");
  EXPECT_EQ(report[1], "Person                                : Test");
  EXPECT_EQ(report[5], "Frequency                             : 100");
  EXPECT_EQ(report[6], "Number of entries / type              : 10/0");
  EXPECT_EQ(report[7], "Number of experiments                 : 2");
  EXPECT_EQ(report[8], "Time span, RMS Glaettung              : 50 ms");
  EXPECT_EQ(report[18], "");

  r = eval(dir, {"-emg_threshold", "5", "-rms_time", "7", "-track", "4", "data.txt"});
  EXPECT_EQ(r.status, 0);
  report = lines_of(read_file(dir.file("data_output.txt")));  // overwritten
  EXPECT_EQ(report[8], "Time span, RMS Glaettung              : 7 ms");
  EXPECT_EQ(report[17].substr(0, 44), "EMG threshold, active phase           : 5% (");
}

TEST(ChewEvalCliTest, CrlfRecordingGivesTheSameReportAsLf) {
  TempDir dir;
  write_file(dir.file("lf.txt"), small_recording());
  write_file(dir.file("crlf.txt"), small_recording("\r\n"));
  ASSERT_EQ(eval(dir, {"lf.txt"}).status, 0);
  ASSERT_EQ(eval(dir, {"crlf.txt"}).status, 0);
  EXPECT_EQ(read_file(dir.file("lf_output.txt")), read_file(dir.file("crlf_output.txt")));
}

// Columns large enough for huge pages (200000 samples) read the same with them as without.
TEST(ChewEvalCliTest, HugePagesChangeNoReport) {
  TempDir dir;
  ASSERT_EQ(run_program(CHEW_SIMULATE_PATH,
                        {"--samples", "200000", "--rate", "1000", "--out", "big.txt"}, dir.path())
                .status,
            0);
  ASSERT_EQ(eval(dir, {"big.txt"}).status, 0);
  const std::string without_huge_pages = read_file(dir.file("big_output.txt"));
  setenv("CHEW_HUGE_PAGES", "1", 1);
  const CommandResult with = eval(dir, {"big.txt"});
  unsetenv("CHEW_HUGE_PAGES");
  ASSERT_EQ(with.status, 0) << describe(with);
  EXPECT_EQ(read_file(dir.file("big_output.txt")), without_huge_pages);
}

TEST(ChewEvalCliTest, ReaderFailuresPrintTheirMessageAndFail) {
  TempDir dir;
  std::string nineteen_experiments;
  for (int e = 0; e < 19; ++e)
    nineteen_experiments += "0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20\n";
  struct Case {
    std::string content;
    std::string message;
  } cases[] = {
      {small_recording() + "Calibr 1 2 3\n", "Error reading calibration\n"},
      {nineteen_experiments, "To many tracks in file, 18\n"},
  };
  write_file(dir.file("old_output.txt"), "an older report\n");
  for (const Case& c : cases) {
    write_file(dir.file("old.txt"), c.content);
    CommandResult r = eval(dir, {"old.txt"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, c.message);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(read_file(dir.file("old_output.txt")), "an older report\n");
  }
}

TEST(ChewEvalCliTest, UnreadableDataFileIsNamedOnStandardError) {
  TempDir dir;
  std::filesystem::create_directory(dir.file("folder.txt"));
  CommandResult r = eval(dir, {"missing.txt"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "chew_eval: cannot open 'missing.txt': No such file or directory\n");
  r = eval(dir, {"folder.txt"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "chew_eval: cannot read 'folder.txt': Is a directory\n");
  EXPECT_FALSE(file_exists(dir.file("missing_output.txt")));
  EXPECT_FALSE(file_exists(dir.file("folder_output.txt/x")));
}

TEST(ChewEvalCliTest, NegativeWindowsAreRejectedBeforeReading) {
  TempDir dir;
  for (const char* option : {"-rms_time", "-mvc_time", "-nl_time"}) {
    CommandResult r = eval(dir, {option, "-1", "missing.txt"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, std::string("chew_eval: ") + option + " must not be negative (-1 ms)\n");
  }
  // The value in force when the scan ends counts.
  write_file(dir.file("data.txt"), small_recording());
  EXPECT_EQ(eval(dir, {"-nl_time", "-1", "-nl_time", "0", "data.txt"}).status, 0);
}

int entries_in(const std::string& folder) {
  int count = 0;
  for (auto& entry : std::filesystem::directory_iterator(folder)) (void)entry, ++count;
  return count;
}

TEST(ChewEvalCliTest, ReportThatCannotBeWrittenLeavesNoPartialFile) {
  TempDir dir;
  write_file(dir.file("data.txt"), small_recording());

  CommandResult r = eval(dir, {"nofolder/data.txt"});  // missing folder for data and report
  EXPECT_EQ(r.status, 1);

  std::filesystem::create_directory(dir.file("sub"));
  write_file(dir.file("sub/rec.txt"), small_recording());
  std::filesystem::create_directory(dir.file("sub/rec_output.txt"));  // the name is a folder
  r = eval(dir, {"sub/rec.txt"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err.rfind("chew_eval: cannot write report 'sub/rec_output.txt': ", 0), 0u) << r.err;
  EXPECT_EQ(entries_in(dir.file("sub")), 2);  // no temporary file left behind

  // A full device: the file size limit makes the report's writes fail part of the way (chew_eval
  // ignores SIGXFSZ itself, so that they fail with EFBIG).
  write_file(dir.file("data_output.txt"), "an older report\n");
  r = run_program("/bin/sh", {"-c", "ulimit -f 1; exec \"$0\" \"$@\"", kEval, "data.txt"},
                  dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err.rfind("chew_eval: cannot write report 'data_output.txt': ", 0), 0u) << r.err;
  EXPECT_EQ(read_file(dir.file("data_output.txt")), "an older report\n");
  EXPECT_EQ(entries_in(dir.path()), 3);  // data.txt, data_output.txt, sub: no temporary
}

TEST(ChewEvalCliTest, ALinkAtTheReportsNameIsReplacedAndItsTargetLeftAlone) {
  TempDir dir;
  write_file(dir.file("data.txt"), small_recording());
  write_file(dir.file("elsewhere.txt"), "someone else's file\n");
  std::filesystem::create_symlink(dir.file("elsewhere.txt"), dir.file("data_output.txt"));
  ASSERT_EQ(eval(dir, {"data.txt"}).status, 0);
  EXPECT_EQ(read_file(dir.file("elsewhere.txt")), "someone else's file\n");
  EXPECT_FALSE(std::filesystem::is_symlink(dir.file("data_output.txt")));
  EXPECT_EQ(read_file(dir.file("data_output.txt")).rfind("Version", 0), 0u);
}

TEST(ChewEvalCliTest, ReportLiesBesideItsDataFile) {
  TempDir dir;
  std::filesystem::create_directories(dir.file("a.b/data"));
  write_file(dir.file("a.b/data/rec.txt"), small_recording());
  ASSERT_EQ(eval(dir, {"a.b/data/rec.txt"}).status, 0);
  EXPECT_TRUE(file_exists(dir.file("a.b/data/rec_output.txt")));
  EXPECT_FALSE(file_exists(dir.file("a_output.txt")));

  write_file(dir.file("nodot"), small_recording());
  ASSERT_EQ(eval(dir, {"nodot"}).status, 0);
  EXPECT_TRUE(file_exists(dir.file("nodot_output.txt")));

  // A stem far beyond any fixed name buffer.
  std::string deep = dir.path();
  for (int k = 0; k < 4; ++k) deep += "/" + std::string(100, static_cast<char>('k' + k));
  std::filesystem::create_directories(deep);
  write_file(deep + "/rec.txt", small_recording());
  ASSERT_EQ(eval(dir, {deep + "/rec.txt"}).status, 0);
  EXPECT_TRUE(file_exists(deep + "/rec_output.txt"));

  // The report gets the permissions a plain fopen would give it.
  struct stat info {};
  ASSERT_EQ(stat((deep + "/rec_output.txt").c_str(), &info), 0);
  mode_t mask = umask(0);
  umask(mask);
  EXPECT_EQ(info.st_mode & 0777, 0666 & ~mask);
}

}  // namespace
