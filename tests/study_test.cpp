// chew_study run on a simulated study of a dozen recordings: its reports against chew_eval's, its
// tables loaded with Python's csv module (tests/study_check.py) against the reports and the
// simulator's ground truth, the same tables whatever --jobs, failing recordings, refused
// command lines.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "study/tables.h"
#include "support/test_support.h"

namespace {

const std::string kStudy = CHEW_STUDY_PATH;

struct Simulated {
  std::string name;
  std::vector<std::string> args;
};

// Three forms, rates from 50 to 1000 Hz, several seeds and lengths.
const std::vector<Simulated>& recordings() {
  static const std::vector<Simulated> list = {
      {"s01", {"--seed", "21", "--form", "five-point", "--rate", "1000", "--scale", "0.2"}},
      {"s02", {"--seed", "22", "--form", "three-point-4ch", "--rate", "200", "--scale", "1"}},
      {"s03", {"--seed", "23", "--form", "three-point-2ch", "--rate", "500", "--scale", "0.3"}},
      {"s04", {"--seed", "24", "--form", "five-point", "--rate", "50", "--scale", "2"}},
      {"s05", {"--seed", "25", "--form", "three-point-4ch", "--rate", "777", "--scale", "0.25"}},
      {"s06", {"--seed", "26", "--form", "three-point-2ch", "--rate", "100", "--scale", "1.5"}},
      {"s07", {"--seed", "27", "--form", "five-point", "--rate", "250", "--scale", "0.5"}},
      {"s08", {"--seed", "28", "--form", "three-point-4ch", "--rate", "333", "--samples", "20000"}},
      {"s09",
       {"--seed", "29", "--form", "three-point-2ch", "--rate", "1000", "--samples", "30000"}},
      {"s10", {"--seed", "30", "--form", "five-point", "--rate", "125", "--scale", "1"}},
      {"s11", {"--seed", "31", "--form", "three-point-4ch", "--rate", "60", "--scale", "3"}},
      {"s12", {"--seed", "32", "--form", "three-point-2ch", "--rate", "400", "--scale", "0.4"}},
  };
  return list;
}

// A runs.csv row as study_check.py prints it.
struct RunRow {
  std::string file, status, report, samples, experiments, skipped, rms, mvc, nl, emg, dist;
  std::string points, emg_channels, warnings, errors;
};

struct Check {
  CommandResult result;
  std::vector<RunRow> runs;
  std::string summary;  // the "checked ..." line
};

std::vector<std::string> split(const std::string& line, char separator) {
  std::vector<std::string> fields;
  std::string field;
  std::istringstream in(line);
  while (std::getline(in, field, separator)) fields.push_back(field);
  if (!line.empty() && line.back() == separator) fields.push_back("");
  return fields;
}

// Loads the tables of `out` with Python's csv module and checks them against the reports.
Check check_tables(const std::string& out, const std::string& truth = "") {
  std::vector<std::string> args = {source_path("tests/study_check.py"), out};
  if (!truth.empty()) args.insert(args.end(), {"--truth", truth});
  Check check;
  check.result = run_program("python3", args, out);
  for (const std::string& line : lines_of(check.result.out)) {
    if (line.rfind("checked ", 0) == 0) check.summary = line;
    if (line.rfind("run\t", 0) != 0) continue;
    std::vector<std::string> f = split(line, '\t');
    if (f.size() != 16) {
      ADD_FAILURE() << "bad run line " << line;
      continue;
    }
    check.runs.push_back({f[1], f[2], f[3], f[4], f[5], f[6], f[7], f[8], f[9], f[10], f[11], f[12],
                          f[13], f[14], f[15]});
  }
  return check;
}

class StudyTest : public ::testing::Test {
 protected:
  // The study folder: the simulated recordings, and things a folder must not expand to.
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    default_run_ = new CommandResult;
    std::filesystem::create_directories(dir_->file("study/notes.txt"));  // a folder, not a file
    std::filesystem::create_directories(dir_->file("truth"));
    write_file(dir_->file("study/protocol.csv"), "not a recording\n");
    for (const Simulated& s : recordings()) {
      std::vector<std::string> args = s.args;
      args.insert(args.end(),
                  {"--out", "study/" + s.name + ".txt", "--truth", "truth/" + s.name + ".truth"});
      const CommandResult made = run_program(CHEW_SIMULATE_PATH, args, dir_->path());
      ASSERT_EQ(made.status, 0) << s.name << describe(made);
    }
    // chew_eval's reports beside the recordings: a folder's *_output.txt are no recordings.
    for (const Simulated& s : recordings()) {
      const CommandResult eval =
          run_program(CHEW_EVAL_PATH, {s.name + ".txt"}, dir_->file("study"));
      ASSERT_EQ(eval.status, 0) << s.name << describe(eval);
    }
    *default_run_ = run_program(kStudy, {"--out", "default", "study"}, dir_->path());
  }
  static void TearDownTestSuite() {
    delete default_run_;
    delete dir_;
  }

  static std::string path(const std::string& relative) { return dir_->file(relative); }

  static TempDir* dir_;
  static CommandResult* default_run_;
};

TempDir* StudyTest::dir_ = nullptr;
CommandResult* StudyTest::default_run_ = nullptr;

TEST_F(StudyTest, ReportsAreChewEvalsAndTablesAgreeWithThem) {
  ASSERT_EQ(default_run_->status, 0) << describe(*default_run_);
  // Progress, one line per recording in input order (one job finishes them in that order).
  const std::vector<std::string> progress = lines_of(default_run_->err);
  ASSERT_EQ(progress.size(), recordings().size()) << default_run_->err;
  for (std::size_t i = 0; i < progress.size(); ++i) {
    EXPECT_EQ(progress[i],
              "[" + std::to_string(i + 1) + "/12] study/" + recordings()[i].name + ".txt ... ok");
  }
  for (const Simulated& s : recordings()) {
    EXPECT_TRUE(read_file(path("default/" + s.name + "_output.txt")) ==
                read_file(path("study/" + s.name + "_output.txt")))
        << s.name << ": the study's report differs from chew_eval's";
  }
  const Check check = check_tables(path("default"), path("truth"));
  EXPECT_EQ(check.result.status, 0) << describe(check.result);
  EXPECT_EQ(check.summary.rfind("checked 12 recordings, 216 experiment rows, 636 index values", 0),
            0u)
      << check.summary;
  EXPECT_NE(check.summary.find("72 truth counts"), std::string::npos) << check.summary;
  ASSERT_EQ(check.runs.size(), recordings().size());
  for (std::size_t i = 0; i < check.runs.size(); ++i) {
    const RunRow& run = check.runs[i];
    EXPECT_EQ(run.file, "study/" + recordings()[i].name + ".txt");
    EXPECT_EQ(run.status, "ok");
    EXPECT_EQ(run.report, recordings()[i].name + "_output.txt");
    EXPECT_EQ(run.experiments, "18");
    EXPECT_EQ(run.skipped, "0");
    EXPECT_EQ(run.rms + " " + run.mvc + " " + run.nl + " " + run.dist, "50 500 100 3");
    EXPECT_EQ(std::strtold(run.emg.c_str(), nullptr), (long double)0.03) << run.emg;
    // The form from the simulator's: five-point, three-point-4ch, three-point-2ch in turn; the
    // data checks find nothing in a simulated recording.
    const char* form[3] = {"5 2", "3 4", "3 2"};
    EXPECT_EQ(run.points + " " + run.emg_channels, form[i % 3]) << run.file;
    EXPECT_EQ(run.warnings + " " + run.errors, "0 0") << run.file;
  }
  EXPECT_EQ(check.runs[7].samples, "20000");  // s08 and s09 have their sample counts set
  EXPECT_EQ(check.runs[8].samples, "30000");
}

TEST_F(StudyTest, TablesAndReportsDoNotDependOnTheNumberOfJobs) {
  ASSERT_EQ(default_run_->status, 0) << describe(*default_run_);
  const CommandResult jobs =
      run_program(kStudy, {"--jobs", "3", "--quiet", "--out", "jobs3", "study"}, dir_->path());
  ASSERT_EQ(jobs.status, 0) << describe(jobs);
  EXPECT_EQ(jobs.err, "");  // --quiet
  for (const std::string table : kTables) {
    EXPECT_TRUE(read_file(path("jobs3/" + table)) == read_file(path("default/" + table)))
        << table << " differs with three jobs";
  }
  for (const Simulated& s : recordings()) {
    EXPECT_TRUE(read_file(path("jobs3/" + s.name + "_output.txt")) ==
                read_file(path("default/" + s.name + "_output.txt")))
        << s.name;
  }
  // Nothing else is left in the output folder: no scratch folder, no temporary table, only the
  // run's books (.chew_study: its lock and manifest).
  const auto files = std::distance(std::filesystem::directory_iterator(path("jobs3")), {});
  EXPECT_EQ(files, static_cast<long>(std::size(kTables) + recordings().size() + 1));
  EXPECT_EQ(hidden_names(path("jobs3")), std::vector<std::string>());
}

TEST_F(StudyTest, TrialsTableAgreesWithTheCyclesTable) {
  ASSERT_EQ(default_run_->status, 0) << describe(*default_run_);
  // Python's csv module recomputes every count, mean, SD and side figure of trials.csv from the
  // confirmed cycles of cycles.csv, per trial and per condition.
  const CommandResult check = run_program(
      "python3", {source_path("tests/kinematics_check.py"), path("default")}, dir_->path());
  EXPECT_EQ(check.status, 0) << check.out << check.err;
  // Six trials and three conditions per recording, over all strokes and the confirmed ones.
  EXPECT_NE(check.out.find("checked " + std::to_string(2 * 9 * recordings().size()) + " rows"),
            std::string::npos)
      << check.out;
}

TEST_F(StudyTest, OtherSettingsGiveChewEvalsReportsForThem) {
  const std::vector<std::string> eval_settings = {"-rms_time",       "30",  "-mvc_time",      "400",
                                                  "-nl_time",        "150", "-emg_threshold", "5",
                                                  "-dist_threshold", "4.5"};
  // The same settings in the study's other spellings.
  const CommandResult study =
      run_program(kStudy,
                  {"--rms-time", "30", "--mvc-time=400", "-nl_time", "150", "--emg_threshold", "5",
                   "--dist-threshold=4.5", "--quiet", "--out", "other", "study"},
                  dir_->path());
  ASSERT_EQ(study.status, 0) << describe(study);
  std::filesystem::create_directories(path("eval_other"));
  for (const Simulated& s : recordings()) {
    std::filesystem::copy_file(path("study/" + s.name + ".txt"),
                               path("eval_other/" + s.name + ".txt"));
    std::vector<std::string> args = eval_settings;
    args.push_back(s.name + ".txt");
    ASSERT_EQ(run_program(CHEW_EVAL_PATH, args, path("eval_other")).status, 0);
    const std::string expected = read_file(path("eval_other/" + s.name + "_output.txt"));
    EXPECT_TRUE(read_file(path("other/" + s.name + "_output.txt")) == expected) << s.name;
    EXPECT_FALSE(expected == read_file(path("default/" + s.name + "_output.txt"))) << s.name;
  }
  const Check check = check_tables(path("other"));
  EXPECT_EQ(check.result.status, 0) << describe(check.result);
  EXPECT_EQ(check.summary.rfind("checked 12 recordings", 0), 0u) << check.summary;
  ASSERT_EQ(check.runs.size(), recordings().size());
  for (const RunRow& run : check.runs) {
    EXPECT_EQ(run.rms + " " + run.mvc + " " + run.nl + " " + run.dist, "30 400 150 4.5");
    EXPECT_EQ(std::strtold(run.emg.c_str(), nullptr), static_cast<long double>(5.0) / 100)
        << run.emg;
  }
}

TEST_F(StudyTest, FailingRecordingsGetTheirRowAndDoNotStopTheOthers) {
  const std::string good = read_file(path("study/s04.txt"));
  std::filesystem::create_directories(path("mixed"));
  write_file(path("mixed/good.txt"), good);
  write_file(path("mixed/bad.txt"), "Person: x\nFrequency:   100\nCalibr 1 2 3\n0 1 2 3\n");
  // Two damaged lines (a cut sample line and one of no form) and blank lines, which are not.
  std::string damaged = good;
  const std::size_t third_sample = damaged.find('\n', damaged.find("\n0 ") + 1) + 1;
  damaged.insert(third_sample, "12 3.5 4.\n\n  \t\nComment: moved\n\n");
  write_file(path("mixed/damaged.txt"), damaged);
  write_file(path("mixed/odd, \"quoted\".txt"), good);  // a file name CSV has to quote
  const std::vector<std::string> inputs = {"mixed/good.txt", "mixed/bad.txt", "mixed/gone.txt",
                                           "mixed/damaged.txt", "mixed/odd, \"quoted\".txt"};
  std::vector<std::string> args = {"--out", "mixed_out"};
  args.insert(args.end(), inputs.begin(), inputs.end());
  const CommandResult run = run_program(kStudy, args, dir_->path());
  EXPECT_EQ(run.status, 1) << describe(run);
  EXPECT_NE(run.err.find("[2/5] mixed/bad.txt ... failed: Error reading calibration\n"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("[3/5] mixed/gone.txt ... failed: cannot open 'mixed/gone.txt': No such "
                         "file or directory\n"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("chew_study: 2 of 5 recordings failed (see runs.csv)"), std::string::npos)
      << run.err;

  const Check check = check_tables(path("mixed_out"));
  EXPECT_EQ(check.result.status, 0) << describe(check.result);
  EXPECT_EQ(check.summary.rfind("checked 3 recordings, 54 experiment rows", 0), 0u)
      << check.summary;
  ASSERT_EQ(check.runs.size(), inputs.size());
  const char* statuses[] = {"ok", "Error reading calibration",
                            "cannot open 'mixed/gone.txt': No such file or directory", "ok", "ok"};
  const char* skipped[] = {"0", "0", "", "2", "0"};
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    EXPECT_EQ(check.runs[i].file, inputs[i]);
    EXPECT_EQ(check.runs[i].status, statuses[i]);
    EXPECT_EQ(check.runs[i].skipped, skipped[i]) << inputs[i];
  }
  EXPECT_EQ(check.runs[3].samples, check.runs[0].samples);  // the cut line is no sample
  EXPECT_TRUE(file_exists(path("mixed_out/odd, \"quoted\"_output.txt")));
  EXPECT_FALSE(file_exists(path("mixed_out/bad_output.txt")));
  EXPECT_TRUE(read_file(path("mixed_out/good_output.txt")) ==
              read_file(path("default/s04_output.txt")));

  // Failures are rows like any other: two jobs give the same tables.
  args.insert(args.begin(), {"--jobs", "2"});
  args[3] = "mixed_jobs";
  EXPECT_EQ(run_program(kStudy, args, dir_->path()).status, 1);
  for (const std::string table : kTables) {
    EXPECT_TRUE(read_file(path("mixed_jobs/" + table)) == read_file(path("mixed_out/" + table)))
        << table;
  }
}

TEST_F(StudyTest, RecordingsSharingAReportNameAreRefusedBeforeAnyWork) {
  std::filesystem::create_directories(path("twins/a"));
  std::filesystem::create_directories(path("twins/b"));
  const std::string good = read_file(path("study/s04.txt"));
  for (const char* name :
       {"twins/a/rec.txt", "twins/b/rec.txt", "twins/a/s.v1.txt", "twins/a/s.v2.txt"}) {
    write_file(path(name), good);
  }
  // Only one file under two paths shares a report: twins/a/rec.txt and twins/b/rec.txt, or
  // s.v1.txt and s.v2.txt, have reports of their own (tests/layout_test.cpp).
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"twins/a/rec.txt", "twins/b/../a/./rec.txt"},
       "chew_study: 'twins/a/rec.txt' and 'twins/b/../a/./rec.txt' would both write the report "
       "rec_output.txt\n"},
      {{"twins/a", "twins/a/s.v1.txt"},  // a folder's file named on its own as well
       "chew_study: 'twins/a/s.v1.txt' and 'twins/a/s.v1.txt' would both write the report "
       "s.v1_output.txt\n"},
      {{"twins/b/rec.txt", "twins/b"},
       "chew_study: 'twins/b/rec.txt' and 'twins/b/rec.txt' would both write the report "
       "rec_output.txt\n"},
  };
  for (const auto& [inputs, message] : cases) {
    std::vector<std::string> args = {"--out", "twins_out"};
    args.insert(args.end(), inputs.begin(), inputs.end());
    const CommandResult run = run_program(kStudy, args, dir_->path());
    EXPECT_EQ(run.status, 2) << inputs[0];
    EXPECT_EQ(run.err.rfind(message, 0), 0u) << run.err;
    EXPECT_FALSE(file_exists(path("twins_out"))) << inputs[0];
  }
  // A report that would replace a recording of the study.
  write_file(path("twins/x.txt"), good);
  write_file(path("twins/x_output.txt"), good);
  const CommandResult run =
      run_program(kStudy, {"--out", "twins", "twins/x.txt", "twins/x_output.txt"}, dir_->path());
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("the report of 'twins/x.txt' would replace the recording "
                         "'twins/x_output.txt'"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(read_file(path("twins/x_output.txt")), good);
}

TEST_F(StudyTest, BadCommandLinesAreRefusedWithAClearMessage) {
  const std::string rec = "study/s01.txt";
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"-rms_time", "abc", rec}, "-rms_time: 'abc' is not a whole number of milliseconds"},
      {{"-rms_time", "50ms", rec}, "-rms_time: '50ms' is not a whole number of milliseconds"},
      {{"-rms_time", " 50", rec}, "-rms_time: ' 50' is not a whole number of milliseconds"},
      {{"--mvc-time=-5", rec}, "--mvc-time must not be negative (-5 ms)"},
      {{rec, "-nl_time", "-1"}, "-nl_time must not be negative (-1 ms)"},
      {{"-nl_time", "99999999999999999999", rec},
       "-nl_time: '99999999999999999999' is not a whole number of milliseconds"},
      {{"-emg_threshold", "5%", rec}, "-emg_threshold: '5%' is not a number"},
      {{"-emg_threshold", "nan", rec}, "-emg_threshold: 'nan' is not a number"},
      {{"--emg-threshold", "-3", rec}, "--emg-threshold must not be negative (-3 %)"},
      {{"-dist_threshold", "", rec}, "-dist_threshold: '' is not a number"},
      {{"-dist_threshold", "1e999", rec}, "-dist_threshold: '1e999' is not a number"},
      {{"--jobs", "0", rec}, "--jobs: '0' is not a number of jobs from 1 to 256"},
      {{"--jobs", "two", rec}, "--jobs: 'two' is not a number of jobs from 1 to 256"},
      {{"-jobs", "2", rec}, "unknown option '-jobs' (see --help)"},
      {{"-track", "4", rec}, "unknown option '-track' (see --help)"},
      {{rec, "-rms_time"}, "-rms_time needs a value"},
      {{}, "no recordings given (see --help)"},
      {{"study/notes.txt"}, "no recordings to evaluate"},  // a folder without recordings
  };
  for (const auto& [args, message] : cases) {
    std::vector<std::string> all = {"--out", "refused"};
    all.insert(all.end(), args.begin(), args.end());
    const CommandResult run = run_program(kStudy, all, dir_->path());
    const std::string shown = args.empty() ? "(none)" : args[0] + " " + args.back();
    EXPECT_EQ(run.status, 2) << shown;
    EXPECT_NE(run.err.find("chew_study: " + message + "\n"), std::string::npos)
        << shown << ": " << run.err;
    EXPECT_EQ(run.out, "") << shown;
    EXPECT_FALSE(file_exists(path("refused"))) << shown;
  }
  const CommandResult help = run_program(kStudy, {"--help", "-rms_time", "5"}, dir_->path());
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("usage: chew_study ", 0), 0u) << help.out;
  EXPECT_EQ(help.err, "");
}

}  // namespace

namespace {

// A five-point sample line with the incisal point `d` mm from the (all-zero) calibration and
// masseter EMG `emg` uV.
std::string sample(const std::string& time, int d, int emg) {
  std::string line = time + " 0 0 0 0 0 0 0 " + std::to_string(d) + " 0 0 0 0 0 0 0 0 0 0 ";
  return line + std::to_string(emg) + " " + std::to_string(emg) + "\n";
}

TEST(StudyTimeTest, TimeStampsAtThe64BitLimitsGiveTrueDifferences) {
  TempDir dir;
  std::string text;
  for (int k = 0; k < 12; ++k) text += sample("0", 0, 0);  // twelve one-sample experiments
  // The first chewing trial: the jaw opens to 10 mm at the largest time stamp and closes at the
  // smallest, so the cycle lasts -2^64 + 1 ms, which no 64-bit difference can hold.
  text += sample("0", 0, 0) + sample("1", 5, 50) + sample("9223372036854775807", 10, 50) +
          sample("-9223372036854775808", 5, 50) + sample("-9223372036854775808", 0, 50) +
          sample("-9223372036854775807", 5, 0);
  write_file(dir.file("edge.txt"), text);
  const CommandResult r = run_program(kStudy, {"--quiet", "--out", "out", "edge.txt"}, dir.path());
  ASSERT_EQ(r.status, 0) << describe(r);
  const std::vector<std::string> rows = lines_of(read_file(dir.file("out/cycles.csv")));
  ASSERT_EQ(rows.size(), 2u);
  const std::vector<std::string> header = split(rows[0], ',');
  const std::vector<std::string> row = split(rows[1], ',');
  std::map<std::string, std::string> cycle;
  for (std::size_t c = 0; c < header.size() && c < row.size(); ++c) cycle[header[c]] = row[c];
  EXPECT_EQ(cycle["experiment"], "13");
  EXPECT_EQ(cycle["start_time_ms"], "9223372036854775807");
  EXPECT_EQ(cycle["end_time_ms"], "-9223372036854775808");
  EXPECT_EQ(cycle["duration_ms"], "-18446744073709551615");
  // Falling 5 mm over 2^64 - 1 ms and then 5 mm over 0 ms: the closing speed is infinite.
  EXPECT_EQ(cycle["closing_speed_mm_per_s"], "Inf");
  EXPECT_EQ(cycle["incisal_max_mm"], "10");
}

}  // namespace
