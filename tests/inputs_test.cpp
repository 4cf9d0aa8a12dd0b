// What the programs take as a recording and where chew_eval puts its report, end to end on files
// written here: the report beside its data file however the path is spelled, never in the data
// file's place, hidden files left out of a study folder, and FIFOs and devices refused unopened.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <set>
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

// A socket file at `path`, left behind when its descriptor is closed.
void make_socket(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(path.size(), sizeof(address.sun_path)) << path;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  close(fd);
}

TEST(InputsTest, ChewEvalRefusesWhatIsNoRegularFile) {
  TempDir dir;
  ASSERT_EQ(mkfifo(dir.file("pipe.txt").c_str(), 0600), 0);
  // /dev/null through a link, so that a run taking it for an empty recording would put its
  // report here and not into /dev.
  fs::create_symlink("/dev/null", dir.file("null.txt"));
  fs::create_symlink("/dev/zero", dir.file("zero.txt"));
  make_socket(dir.file("sock.txt"));
  struct Case {
    std::string path, kind;
  } cases[] = {
      {"pipe.txt", "a FIFO"},               // opening it would wait for a writer
      {"null.txt", "a character device"},   // a link counts as what it leads to
      {"/dev/zero", "a character device"},  // reading it would never end
      {"zero.txt", "a character device"},
      {"sock.txt", "a socket"},
  };
  const std::map<std::string, std::string> before = tree(dir.path());
  for (const Case& c : cases) {
    const CommandResult r = eval_within({c.path}, dir.path());
    EXPECT_EQ(r.status, 1) << c.path;  // 124: it blocked
    EXPECT_EQ(r.out, "") << c.path;
    EXPECT_EQ(r.err, "chew_eval: not a regular file: '" + c.path + "' (" + c.kind + ")\n");
    EXPECT_TRUE(tree(dir.path()) == before) << c.path;
  }
  // A missing file and a link to one keep the message of a file that cannot be opened.
  fs::create_symlink("gone.txt", dir.file("dangling.txt"));
  for (const std::string path : {"gone.txt", "dangling.txt"}) {
    const CommandResult r = eval_within({path}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "chew_eval: cannot open '" + path + "': No such file or directory\n");
  }
}

TEST(InputsTest, StudyGivesWhatIsNoRegularFileAFailedRowAndGoesOn) {
  TempDir dir;
  write_file(dir.file("r1.txt"), recording("one"));
  write_file(dir.file("r2.txt"), recording("two"));
  ASSERT_EQ(mkfifo(dir.file("pipe.txt").c_str(), 0600), 0);
  const std::vector<std::string> inputs = {"r1.txt", "pipe.txt", "/dev/null", "/dev/zero",
                                           "r2.txt"};
  const std::vector<std::string> statuses = {"ok", "not a regular file: 'pipe.txt' (a FIFO)",
                                             "not a regular file: '/dev/null' (a character device)",
                                             "not a regular file: '/dev/zero' (a character device)",
                                             "ok"};
  std::string first_runs;
  for (const char* jobs : {"1", "3"}) {
    const std::string out = std::string("out") + jobs;
    std::vector<std::string> args = {"--jobs", jobs, "--out", out};
    args.insert(args.end(), inputs.begin(), inputs.end());
    const CommandResult r = study_within(args, dir.path());
    EXPECT_EQ(r.status, 1) << r.err;  // 124: it blocked
    EXPECT_NE(r.err.find("chew_study: 3 of 5 recordings failed (see runs.csv)\n"),
              std::string::npos)
        << r.err;
    if (std::string(jobs) == "1") {
      EXPECT_NE(r.err.find("[2/5] pipe.txt ... failed: not a regular file: 'pipe.txt' (a FIFO)\n"),
                std::string::npos)
          << r.err;
    }
    const std::string runs = read_file(dir.file(out + "/runs.csv"));
    const auto records = csv_table(runs);
    ASSERT_EQ(records.size(), inputs.size()) << runs;
    for (std::size_t k = 0; k < inputs.size(); ++k) {
      EXPECT_EQ(records[k].at("file"), inputs[k]);
      EXPECT_EQ(records[k].at("status"), statuses[k]);
      const bool ok = statuses[k] == "ok";
      EXPECT_EQ(records[k].at("samples"), ok ? "10" : "") << inputs[k];  // failed: read nothing
      EXPECT_EQ(records[k].at("report"),
                ok ? fs::path(inputs[k]).stem().string() + "_output.txt" : "");
    }
    EXPECT_EQ(read_file(dir.file(out + "/r1_output.txt")), plain_report(recording("one")));
    EXPECT_EQ(read_file(dir.file(out + "/r2_output.txt")), plain_report(recording("two")));
    for (const char* name : {"pipe_output.txt", "null_output.txt", "zero_output.txt"})
      EXPECT_FALSE(file_exists(dir.file(out + "/" + name))) << name;
    if (first_runs.empty())
      first_runs = runs;
    else
      EXPECT_TRUE(runs == first_runs);  // failed rows too, whatever the number of jobs
  }
}

TEST(InputsTest, StudyFolderLeavesOutHiddenFiles) {
  TempDir dir;
  fs::create_directories(dir.file("rec"));
  write_file(dir.file("rec/r1.txt"), recording("one"));
  // What some systems leave beside every file, and a hidden recording: neither is evaluated, and
  // their common report name _output.txt no longer makes the study refuse.
  write_file(dir.file("rec/._r1.txt"), std::string("\0\5\26\7\0\2\0\0Mac OS X", 16));
  write_file(dir.file("rec/.hidden.txt"), recording("hidden"));
  ASSERT_EQ(mkfifo(dir.file("rec/r0.txt").c_str(), 0600), 0);  // no regular file: left out
  const CommandResult r = study_within({"--out", "out", "rec"}, dir.path());
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err.rfind("[1/1] rec/r1.txt ... ok", 0), 0u) << r.err;
  EXPECT_EQ(lines_of(r.err).size(), 1u) << r.err;
  const auto records = csv_table(read_file(dir.file("out/runs.csv")));
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].at("file"), "rec/r1.txt");
  EXPECT_EQ(records[0].at("status"), "ok");
  EXPECT_TRUE(file_exists(dir.file("out/r1_output.txt")));
  EXPECT_FALSE(file_exists(dir.file("out/_output.txt")));

  // Named on the command line, a hidden file is a recording like any other; its report keeps
  // its name.
  const CommandResult named = study_within({"--out", "named", "rec/.hidden.txt"}, dir.path());
  EXPECT_EQ(named.status, 0) << named.err;
  EXPECT_EQ(read_file(dir.file("named/.hidden_output.txt")), plain_report(recording("hidden")));
}

}  // namespace
