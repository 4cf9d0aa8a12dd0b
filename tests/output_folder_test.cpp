// An output folder holds one run: a rerun with other settings and recordings leaves only its own
// files (and the user's), a second run into a folder in use is refused, a run killed outright or
// out of room on the disk leaves the earlier run whole, and a threshold given equal to its
// default is the default.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/ptrace.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "study/sha256.h"
#include "study/tables.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
const std::string kStudy = CHEW_STUDY_PATH;
const std::set<std::string> kTableNames(std::begin(kTables), std::end(kTables));

// Every file below `folder` but its books, by path, with its bytes.
std::map<std::string, std::string> listing(const std::string& folder) {
  std::map<std::string, std::string> files;
  for (auto it = fs::recursive_directory_iterator(folder); it != fs::end(it); ++it) {
    if (it->path().filename() == ".chew_study")
      it.disable_recursion_pending();
    else if (it->is_regular_file())
      files[fs::relative(it->path(), folder).string()] = read_file(it->path().string());
  }
  return files;
}

class OutputFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir_.file("study"));
    for (const char* r : {"a", "b", "c"}) {
      const CommandResult made =
          run_program(CHEW_SIMULATE_PATH,
                      {"--rate", "200", "--scale", "0.15", "--seed", std::to_string(r[0]), "--out",
                       std::string("study/") + r + ".txt"},
                      dir_.path());
      ASSERT_EQ(made.status, 0) << describe(made);
    }
  }
  CommandResult study(std::vector<std::string> args) {
    args.insert(args.begin(), {"--quiet", "--out", "out"});
    return run_program(kStudy, args, dir_.path());
  }
  TempDir dir_;
};

TEST_F(OutputFolderTest, ARerunLeavesOnlyItsOwnFilesAndTheUsers) {
  struct Rerun {
    std::vector<std::string> args;
    std::vector<std::string> recordings;
    bool pages;
    std::string emg;  // the EMG threshold as runs.csv and the pages show it
  };
  const std::vector<Rerun> reruns = {
      {{"--pages"}, {"a", "b", "c"}, true, "3"},
      {{"--emg-threshold", "10"}, {"a", "b"}, false, "10"},
      {{"--pages", "--emg-threshold", "2.50", "--dist-threshold", "4"}, {"b"}, true, "2.5"}};
  fs::create_directories(dir_.file("out"));
  write_file(dir_.file("out/notes.txt"), "mine\n");
  for (const Rerun& rerun : reruns) {
    std::vector<std::string> args = rerun.args;
    std::set<std::string> expected = kTableNames;
    expected.insert("notes.txt");
    for (const std::string& r : rerun.recordings) {
      args.push_back("study/" + r + ".txt");
      expected.insert(r + "_output.txt");
      if (rerun.pages) expected.insert({r + "_check.html", "index.html"});
    }
    const CommandResult run = study(args);
    SCOPED_TRACE(rerun.emg);
    ASSERT_EQ(run.status, 0) << describe(run);
    std::set<std::string> names;
    for (const auto& [name, text] : listing(dir_.file("out"))) {
      names.insert(name);
      const std::size_t at = text.find(" % of the MVC");  // a page's settings
      if (name.find(".html") != std::string::npos) {
        EXPECT_EQ(text.substr(at - rerun.emg.size() - 1, rerun.emg.size() + 1),
                  (name == "index.html" ? " " : ">") + rerun.emg)
            << name;
      }
    }
    EXPECT_EQ(names, expected);
    for (const auto& row : csv_table(read_file(dir_.file("out/runs.csv"))))
      EXPECT_EQ(row.at("emg_threshold_given_pct"), rerun.emg);
    EXPECT_EQ(read_file(dir_.file("out/notes.txt")), "mine\n");
    EXPECT_EQ(run.err,
              "chew_study: warning: 'out' also holds what this run did not write, left as it is: "
              "notes.txt\n");
  }
}

// The study's standard error is a pipe filled beforehand: its first progress line blocks it after
// the first recording, holding the folder with its run staged.
pid_t start_blocked(const std::string& cwd, std::vector<std::string> args, int& drain) {
  int pipe_ends[2];
  if (pipe(pipe_ends) != 0) return -1;
  fcntl(pipe_ends[1], F_SETFL, O_NONBLOCK);
  while (write(pipe_ends[1], "........", 8) > 0) {
  }
  fcntl(pipe_ends[1], F_SETFL, 0);
  drain = pipe_ends[0];
  const pid_t pid = fork();
  if (pid != 0) {
    close(pipe_ends[1]);
    return pid;
  }
  if (chdir(cwd.c_str()) != 0 || dup2(pipe_ends[1], 2) < 0) _exit(126);
  std::vector<char*> argv = {const_cast<char*>(kStudy.c_str())};
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  execv(kStudy.c_str(), argv.data());
  _exit(127);
}

TEST_F(OutputFolderTest, ASecondRunIsRefusedAndAKilledRunLeavesTheEarlierOneWhole) {
  ASSERT_EQ(study({"study"}).status, 0);
  for (const int signal : {0, SIGKILL}) {
    const auto earlier = listing(dir_.file("out"));
    int drain = -1;
    const pid_t first = start_blocked(
        dir_.path(), {"--pages", "--out", "out", "study/a.txt", "study/b.txt"}, drain);
    ASSERT_GT(first, 0);
    // Holding the lock, it has written its process number into the lock file.
    int status = 0;
    while (read_file(dir_.file("out/.chew_study/lock")) != std::to_string(first) + "\n") {
      ASSERT_EQ(waitpid(first, &status, WNOHANG), 0) << "ended early: " << status;
      usleep(1000);
    }
    const CommandResult second = study({"study/c.txt"});
    EXPECT_EQ(second.status, 2);
    EXPECT_EQ(second.err,
              "chew_study: the output folder 'out' is in use by another chew_study run "
              "(process " +
                  std::to_string(first) + "); nothing evaluated\n");
    if (signal != 0) kill(first, signal);
    char buffer[4096];
    while (read(drain, buffer, sizeof buffer) > 0) {
    }
    close(drain);
    waitpid(first, &status, 0);
    const auto now = listing(dir_.file("out"));
    if (signal == 0) {
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
      EXPECT_EQ(now.size(), kTableNames.size() + 5) << "reports and pages of a and b, index.html";
      EXPECT_EQ(hidden_names(dir_.file("out")), std::vector<std::string>());
    } else {
      EXPECT_TRUE(now == earlier) << "killed, the run changed the earlier one";
      EXPECT_EQ(hidden_names(dir_.file("out")), std::vector<std::string>{".chew_study/stage"});
      ASSERT_EQ(study({"study"}).status, 0);  // the next run removes the stage
      EXPECT_EQ(hidden_names(dir_.file("out")), std::vector<std::string>());
    }
  }
}

// In a mount namespace of its own, $1 KiB of tmpfs mounted over the folder $2; where no namespace
// can be made, a file-size limit of $1 blocks on the rerun instead. The folder gets the earlier
// run, the user's file and the rerun ($5...), and is then copied to $3.
constexpr char kFull[] =
    "set -e; size=$1 folder=$2 after=$3 mode=$4; shift 4\n"
    "if [ $mode = tmpfs ]; then mount -t tmpfs -o size=${size}k tmpfs \"$folder\"; fi\n"
    "cp -a earlier/. \"$folder\"; echo mine > \"$folder/notes.txt\"; status=0\n"
    "(if [ $mode = ulimit ]; then ulimit -f $size; fi; exec \"$@\") || status=$?\n"
    "cp -a \"$folder\"/. \"$after\"; exit $status";

TEST_F(OutputFolderTest, AFullDiskLeavesOneRunsSetWhole) {
  ASSERT_EQ(
      run_program(kStudy, {"--quiet", "--pages", "--out", "earlier", "study"}, dir_.path()).status,
      0);
  const auto earlier = listing(dir_.file("earlier"));
  std::size_t bytes = 0;
  for (const auto& [name, text] : earlier) bytes += text.size();
  const bool tmpfs = run_program("unshare", {"-rm", "true"}, dir_.path()).status == 0;
  const std::string mode = tmpfs ? "tmpfs" : "ulimit";
  bool kept = false, replaced = false;
  for (int k = 0; k < (tmpfs ? 6 : 8); ++k) {
    // KiB of tmpfs from the earlier run's size to more than twice it, or file sizes of 2 KB on.
    const long size = tmpfs ? static_cast<long>(bytes / 1024 + 128) * (4 + k) / 4 : 4L << k;
    const std::string after = "after" + std::to_string(k), full = "full" + std::to_string(k);
    fs::create_directories(dir_.file(full));
    std::vector<std::string> args = {"-c",      kFull,     "sh",        std::to_string(size),
                                     full,      after,     mode,        kStudy,
                                     "--quiet", "--pages", "-rms_time", "40",
                                     "--out",   full,      "study"};
    if (tmpfs) args.insert(args.begin(), {"-rm", "/bin/sh"});
    const CommandResult run = run_program(tmpfs ? "unshare" : "/bin/sh", args, dir_.path());
    SCOPED_TRACE(mode + " " + std::to_string(size) + ": " + run.err);
    auto now = listing(dir_.file(after));
    EXPECT_EQ(now["notes.txt"], "mine\n");
    now.erase("notes.txt");
    EXPECT_EQ(hidden_names(dir_.file(after)), std::vector<std::string>());
    if (now == earlier) {
      EXPECT_EQ(run.status, 1);
      kept = true;
      continue;
    }
    // The rerun's set, whole: what its manifest names, and the reports its runs.csv names.
    replaced = true;
    std::map<std::string, std::string> manifest;
    for (const auto& row : csv_table(read_file(dir_.file(after + "/.chew_study/manifest.csv"))))
      manifest[row.at("file")] = row.at("sha256");
    for (const auto& [name, text] : now) EXPECT_EQ(sha256_hex(text), manifest[name]) << name;
    EXPECT_EQ(manifest.size(), now.size());
    for (const auto& row : csv_table(now["runs.csv"])) {
      EXPECT_EQ(row.at("rms_time_ms"), "40");
      EXPECT_TRUE(row.at("report").empty() || now.count(row.at("report")) == 1) << row.at("file");
    }
  }
  EXPECT_TRUE(kept && replaced) << "the disk never stopped a rerun, or never let one through";
}

// The path a rename system call at its entry moves.
std::string renamed(pid_t pid, const __ptrace_syscall_info& call) {
  const int nr = static_cast<int>(call.entry.nr);
  if (nr != SYS_rename && nr != SYS_renameat && nr != SYS_renameat2) return "";
  char path[4096] = {};
  const int mem = open(("/proc/" + std::to_string(pid) + "/mem").c_str(), O_RDONLY);
  pread(mem, path, sizeof path - 1, static_cast<off_t>(call.entry.args[nr == SYS_rename ? 0 : 1]));
  close(mem);
  return path;
}

// Traced, the rerun is killed at its second rename after the commit (the stage renamed): one file
// of the new run is in place, the others not. Merge, reading the folder as a part, finishes it.
TEST_F(OutputFolderTest, ARunKilledWhileItIsPutInPlaceIsFinishedFirst) {
  ASSERT_EQ(study({"study"}).status, 0);
  const std::vector<std::string> rerun = {"--quiet", "-rms_time", "40", "study/a.txt", "--out"};
  std::vector<std::string> args = rerun;
  args.push_back("whole");  // the rerun, not killed
  ASSERT_EQ(run_program(kStudy, args, dir_.path()).status, 0);
  const pid_t pid = fork();
  if (pid == 0) {
    ptrace(PTRACE_TRACEME, 0, nullptr, nullptr);
    std::vector<char*> argv = {const_cast<char*>(kStudy.c_str())};
    for (const std::string& arg : rerun) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(const_cast<char*>("out"));
    argv.push_back(nullptr);
    if (chdir(dir_.path().c_str()) == 0) execv(kStudy.c_str(), argv.data());
    _exit(127);
  }
  int status = 0, after_commit = -1;
  waitpid(pid, &status, 0);  // stopped at its exec
  ptrace(PTRACE_SETOPTIONS, pid, nullptr, reinterpret_cast<void*>(PTRACE_O_TRACESYSGOOD));
  while (after_commit < 2 && ptrace(PTRACE_SYSCALL, pid, nullptr, nullptr) == 0) {
    waitpid(pid, &status, 0);
    __ptrace_syscall_info call{};
    if (!WIFSTOPPED(status) || WSTOPSIG(status) != (SIGTRAP | 0x80) ||
        ptrace(PTRACE_GET_SYSCALL_INFO, pid, sizeof call, &call) <= 0 ||
        call.op != PTRACE_SYSCALL_INFO_ENTRY)
      continue;
    const std::string path = renamed(pid, call);
    if (after_commit >= 0 && !path.empty()) ++after_commit;
    if (path.size() > 18 && path.compare(path.size() - 18, 18, "/.chew_study/stage") == 0)
      after_commit = 0;
  }
  kill(pid, SIGKILL);
  ptrace(PTRACE_DETACH, pid, nullptr, nullptr);
  waitpid(pid, &status, 0);
  ASSERT_EQ(after_commit, 2);
  EXPECT_EQ(hidden_names(dir_.file("out")), std::vector<std::string>{".chew_study/commit"});
  EXPECT_FALSE(listing(dir_.file("out")) == listing(dir_.file("whole")));  // not yet in place
  const CommandResult merged =
      run_program(kStudy, {"merge", "out", "--out", "joined"}, dir_.path());
  EXPECT_EQ(merged.status, 0) << describe(merged);
  EXPECT_TRUE(listing(dir_.file("out")) == listing(dir_.file("whole")));
  EXPECT_TRUE(read_file(dir_.file("joined/runs.csv")) == read_file(dir_.file("whole/runs.csv")));
  EXPECT_EQ(hidden_names(dir_.file("out")), std::vector<std::string>());
}

TEST_F(OutputFolderTest, AThresholdGivenEqualToItsDefaultIsTheDefault) {
  ASSERT_EQ(study({"--pages", "study/a.txt"}).status, 0);
  const auto plain = listing(dir_.file("out"));
  for (const char* given : {"3", "3.0", "+03", "300e-2", ".03e2"}) {
    const CommandResult run =
        study({"--pages", "--emg-threshold", given, "-dist_threshold", "3.000", "study/a.txt"});
    ASSERT_EQ(run.status, 0) << describe(run);
    for (const auto& [name, text] : listing(dir_.file("out")))
      EXPECT_TRUE(name == "index.html" || text == plain.at(name)) << given << ": " << name;
  }
}

}  // namespace
