// The programs against their environment: chew_study ended by SIGTERM, SIGHUP or a closed pipe on
// standard error, chew_study at a process or file-descriptor limit, chew_eval ended by SIGTERM or
// SIGHUP while it writes its report (each leaves the files of an earlier run as they were and no
// file of its own behind), both programs out of memory, and file names with control characters on
// the console.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/ptrace.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "study/tables.h"
#include "support/test_support.h"

namespace {

const std::string kStudy = CHEW_STUDY_PATH;

constexpr uid_t kNobody = 65534;  // Debian's unprivileged user and group

// Starts `program` in `cwd` with its standard error on `err`, in a process group of its own, after
// `prepare` ran in the child.
pid_t start(const std::string& program, const std::vector<std::string>& args,
            const std::string& cwd, int err, const std::function<void()>& prepare = {}) {
  const pid_t pid = fork();
  if (pid != 0) return pid;
  setpgid(0, 0);
  if (chdir(cwd.c_str()) != 0 || dup2(err, 2) < 0) _exit(126);
  if (prepare) prepare();
  std::vector<char*> argv = {const_cast<char*>(program.c_str())};
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  execv(program.c_str(), argv.data());
  _exit(127);
}

int wait_for(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return status;
}

// `program` with `args` in `cwd`, under `ulimit LIMIT` and with no file open but the standard
// three.
CommandResult under_limit(const std::string& limit, const std::string& program,
                          std::vector<std::string> args, const std::string& cwd) {
  args.insert(
      args.begin(),
      {"-c",
       "for fd in $(ls /proc/$$/fd); do [ \"$fd\" -gt 2 ] && eval \"exec $fd>&-\" 2>/dev/null; "
       "done; ulimit " +
           limit + "; exec \"$0\" \"$@\"",
       program});
  return run_program("/bin/bash", args, cwd);
}

class InterruptTest : public ::testing::Test {
 protected:
  // Twelve recordings and the tables of a study over them: the earlier study that an interrupted
  // one must leave as it was. The folder is open to all, for the study run as nobody.
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    chmod(dir_->path().c_str(), 0777);
    std::filesystem::create_directories(dir_->file("study"));
    for (int k = 1; k <= 12; ++k) {
      const std::string name = "study/s" + std::to_string(100 + k) + ".txt";
      const CommandResult made = run_program(
          CHEW_SIMULATE_PATH,
          {"--seed", std::to_string(k), "--rate", "500", "--scale", "0.5", "--out", name},
          dir_->path());
      ASSERT_EQ(made.status, 0) << describe(made);
    }
    const CommandResult earlier =
        run_program(kStudy, {"--quiet", "--out", "earlier", "study"}, dir_->path());
    ASSERT_EQ(earlier.status, 0) << describe(earlier);
  }
  static void TearDownTestSuite() { delete dir_; }

  static std::string path(const std::string& relative) { return dir_->file(relative); }

  // A copy of the earlier study's tables in `folder`, for an interrupted study to write over.
  static void copy_earlier_tables(const std::string& folder) {
    std::filesystem::create_directories(path(folder));
    for (const std::string table : kTables)
      std::filesystem::copy_file(path("earlier/" + table), path(folder + "/" + table));
  }

  static void expect_earlier_tables_and_nothing_hidden(const std::string& folder) {
    for (const std::string table : kTables) {
      EXPECT_TRUE(read_file(path(folder + "/" + table)) == read_file(path("earlier/" + table)))
          << folder << "/" << table << " was replaced";
    }
    for (const std::string& name : hidden_names(path(folder)))
      ADD_FAILURE() << folder << "/" << name << " was left behind";
  }

  static TempDir* dir_;
};

TempDir* InterruptTest::dir_ = nullptr;

TEST_F(InterruptTest, SignalsAndAClosedPipeEndTheStudyCleanly) {
  for (const char* jobs : {"1", "3"}) {
    SCOPED_TRACE(std::string("--jobs ") + jobs);
    // Other settings, so tables put in place would differ from the earlier ones.
    const std::vector<std::string> args = {"--jobs", jobs, "-rms_time", "40", "--out"};

    // SIGTERM, or SIGHUP (a dropped ssh session), once the first recording is done, with the
    // others still to come.
    for (const int signal : {SIGTERM, SIGHUP}) {
      const std::string term = "signal" + std::to_string(signal) + "_" + jobs;
      copy_earlier_tables(term);
      int progress[2];
      ASSERT_EQ(pipe(progress), 0);
      std::vector<std::string> term_args = args;
      term_args.insert(term_args.end(), {term, "study"});
      const pid_t study = start(kStudy, term_args, dir_->path(), progress[1]);
      close(progress[1]);
      char c = 0;
      while (read(progress[0], &c, 1) == 1 && c != '\n') {
      }
      ASSERT_EQ(c, '\n') << "no progress line";
      kill(study, signal);
      const int status = wait_for(study);
      close(progress[0]);
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << "status " << status;
      // Its workers were stopped and waited for: nothing of its process group is left.
      EXPECT_EQ(kill(-study, 0), -1);
      EXPECT_EQ(errno, ESRCH);
      expect_earlier_tables_and_nothing_hidden(term);
    }

    // Standard error a pipe whose reader is gone: the first progress line raises SIGPIPE.
    const std::string closed = std::string("closed") + jobs;
    copy_earlier_tables(closed);
    int gone[2];
    ASSERT_EQ(pipe(gone), 0);
    close(gone[0]);
    std::vector<std::string> closed_args = args;
    closed_args.insert(closed_args.end(), {closed, "study"});
    const pid_t piped = start(kStudy, closed_args, dir_->path(), gone[1]);
    close(gone[1]);
    const int status = wait_for(piped);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGPIPE) << "status " << status;
    EXPECT_EQ(kill(-piped, 0), -1);
    expect_earlier_tables_and_nothing_hidden(closed);
  }
}

// RLIMIT_NPROC counts every process of the real user and binds no privileged process, so the
// study runs as nobody, with the limit set in its child before exec; without root it keeps the
// test's user, which has other processes, and only the limit of one process is exact.
TEST_F(InterruptTest, AtAProcessLimitTheStudyWaitsForAWorker) {
  const bool root = geteuid() == 0;
  auto limited = [&](rlim_t processes) {
    return [processes, root] {
      if (root && (setgid(kNobody) != 0 || setuid(kNobody) != 0)) _exit(125);
      const rlimit limit = {processes, processes};
      if (setrlimit(RLIMIT_NPROC, &limit) != 0) _exit(124);
#ifdef CHEW_SANITIZED
      setenv("ASAN_OPTIONS", "detect_leaks=0", 1);  // the leak check's thread is a process more
#endif
    };
  };
  // One process, the study itself: no worker can start, the study evaluates every recording.
  int status = wait_for(start(kStudy, {"--quiet", "--jobs", "4", "--out", "none", "study"},
                              dir_->path(), 2, limited(1)));
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 0);
  for (const std::string table : kTables)
    EXPECT_TRUE(read_file(path("none/" + table)) == read_file(path("earlier/" + table))) << table;
  EXPECT_TRUE(hidden_names(path("none")).empty());

  if (!root) GTEST_SKIP() << "an exact limit of two processes needs a user of its own (root)";
  // Two processes: one worker at a time of the four asked for, every recording evaluated.
  status = wait_for(start(kStudy, {"--quiet", "--jobs", "4", "--out", "two", "study"}, dir_->path(),
                          2, limited(2)));
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 0);
  for (const std::string table : kTables)
    EXPECT_TRUE(read_file(path("two/" + table)) == read_file(path("earlier/" + table))) << table;
}

// The tables' fds, the output folder's lock and standard input, output and error leave none for
// a worker's two pipes at tables + 7, one worker's at tables + 8, while the study's own files
// still open at tables + 5 (a data file is closed before its report is made). Whoever evaluates,
// the tables are those of --jobs 1.
TEST_F(InterruptTest, WithoutFileDescriptorsForItsWorkersTheStudyEvaluatesItself) {
  const int tables = static_cast<int>(std::size(kTables));
  for (const int fds : {tables + 5, tables + 7, tables + 8}) {
    const std::string limit = std::to_string(fds);
    const std::string out = "fd" + limit;
    const CommandResult run = under_limit(
        "-n " + limit, kStudy, {"--quiet", "--jobs", "2", "--out", out, "study"}, dir_->path());
    EXPECT_EQ(run.status, 0) << limit << ": " << describe(run);
    for (const std::string table : kTables)
      EXPECT_TRUE(read_file(path(out + "/" + table)) == read_file(path("earlier/" + table)))
          << limit << ": " << table;
    EXPECT_TRUE(hidden_names(path(out)).empty()) << limit;
  }
}

TEST_F(InterruptTest, ControlCharactersOfAFileNameAreEscapedOnTheConsole) {
  // A line break would forge a progress line, an escape sequence would drive the terminal.
  const std::string name = "study/odd\nname\x1b[2J\t.txt";
  std::filesystem::copy_file(path("study/s101.txt"), path(name));
  const CommandResult run =
      run_program(kStudy, {"--out", "odd", name, "study/gone\r.txt"}, dir_->path());
  std::filesystem::remove(path(name));
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err,
            "[1/2] study/odd\\nname\\x1b[2J\\t.txt ... ok\n"
            "[2/2] study/gone\\r.txt ... failed: cannot open 'study/gone\\r.txt': No such file or "
            "directory\n"
            "chew_study: 1 of 2 recordings failed (see runs.csv)\n");
  // The tables keep the name as it is.
  EXPECT_EQ(csv_table(read_file(path("odd/runs.csv"))).at(0).at("file"), name);
}

// chew_eval, tracing it up to the fsync of its temporary report, gets `signal` there.
void interrupt_while_writing(const TempDir& dir, int signal) {
  const pid_t eval = start(CHEW_EVAL_PATH, {"big.txt"}, dir.path(), 2,
                           [] { ptrace(PTRACE_TRACEME, 0, nullptr, nullptr); });
  int status = wait_for(eval);  // stopped at its exec
  ASSERT_TRUE(WIFSTOPPED(status)) << status;
  ptrace(PTRACE_SETOPTIONS, eval, nullptr,
         reinterpret_cast<void*>(PTRACE_O_TRACESYSGOOD | PTRACE_O_EXITKILL));
  bool interrupted = false;
  int pass = 0;  // a signal to hand on
  while (!interrupted) {
    ASSERT_EQ(ptrace(PTRACE_SYSCALL, eval, nullptr, reinterpret_cast<void*>(pass)), 0);
    status = wait_for(eval);
    ASSERT_TRUE(WIFSTOPPED(status)) << "chew_eval ended unseen: " << status;
    pass = 0;
    if (WSTOPSIG(status) != (SIGTRAP | 0x80)) {
      pass = WSTOPSIG(status) == SIGTRAP ? 0 : WSTOPSIG(status);
      continue;
    }
    __ptrace_syscall_info info{};
    ptrace(PTRACE_GET_SYSCALL_INFO, eval, reinterpret_cast<void*>(sizeof info), &info);
    if (info.op != PTRACE_SYSCALL_INFO_ENTRY || info.entry.nr != SYS_fsync) continue;
    EXPECT_EQ(hidden_names(dir.path()).size(), 1u);  // the temporary report, complete
    kill(eval, signal);
    ptrace(PTRACE_DETACH, eval, nullptr, nullptr);
    interrupted = true;
  }
  status = wait_for(eval);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << "status " << status;
  EXPECT_TRUE(hidden_names(dir.path()).empty());
  EXPECT_EQ(read_file(dir.file("big_output.txt")), "the earlier report\n");
}

// chew_eval is traced up to the fsync of its temporary report, the whole report written and not
// yet renamed, and gets SIGTERM there: the signal arrives as the fsync returns, whatever the
// machine's speed. SIGHUP (a closed terminal) does the same.
TEST(ChewEvalInterruptTest, ASignalWhileWritingTheReportRemovesItsTemporaryFile) {
  TempDir dir;
  const CommandResult made = run_program(
      CHEW_SIMULATE_PATH, {"--seed", "9", "--samples", "400000", "--out", "big.txt"}, dir.path());
  ASSERT_EQ(made.status, 0) << describe(made);
  write_file(dir.file("big_output.txt"), "the earlier report\n");
  for (const int signal : {SIGTERM, SIGHUP}) {
    SCOPED_TRACE("signal " + std::to_string(signal));
    interrupt_while_writing(dir, signal);
  }
}

// 32 MiB: both programs start in less than half of it, a small recording is evaluated in it, and a
// recording of 500000 samples needs twice as much for its columns alone.
TEST(OutOfMemoryTest, TheRecordingThatCannotBeAllocatedFailsAloneWithAMessage) {
#ifdef CHEW_SANITIZED
  GTEST_SKIP() << "the sanitizers' shadow memory does not fit into a limited address space";
#endif
  TempDir dir;
  const std::string simulate = CHEW_SIMULATE_PATH;
  ASSERT_EQ(run_program(simulate, {"--samples", "500000", "--out", "big.txt"}, dir.path()).status,
            0);
  ASSERT_EQ(run_program(simulate, {"--scale", "0.1", "--out", "small.txt"}, dir.path()).status, 0);
  for (const std::string jobs : {"1", "2"}) {
    const CommandResult run =
        under_limit("-v 32768", kStudy,
                    {"--quiet", "--jobs", jobs, "--out", jobs, "big.txt", "small.txt"}, dir.path());
    EXPECT_EQ(run.err, "chew_study: 1 of 2 recordings failed (see runs.csv)\n") << jobs;
    const auto runs = csv_table(read_file(dir.file(jobs + "/runs.csv")));
    ASSERT_EQ(runs.size(), 2u) << jobs;
    EXPECT_EQ(runs[0].at("status") + "|" + runs[0].at("report") + "|" + runs[1].at("status"),
              "out of memory||ok")
        << jobs;
    EXPECT_TRUE(run.status == 1 && hidden_names(dir.file(jobs)).empty()) << jobs;
  }
  write_file(dir.file("big_output.txt"), "the earlier report\n");
  const CommandResult eval = under_limit("-v 32768", CHEW_EVAL_PATH, {"big.txt"}, dir.path());
  EXPECT_EQ(eval.status, 1);
  EXPECT_EQ(eval.out + eval.err, "chew_eval: cannot evaluate 'big.txt': out of memory\n");
  EXPECT_EQ(read_file(dir.file("big_output.txt")), "the earlier report\n");
  EXPECT_TRUE(hidden_names(dir.path()).empty());

  // The check page needs more memory than the report: between a limit at which the recording
  // fails before its report and one at which it is evaluated lies a range of limits at which the
  // report is written and the page then cannot be; bisected down to 256 KiB, the search cannot
  // step over it. At every limit runs.csv names the report exactly when it was written.
  long low = 32768, high = 262144;  // KiB: fails before the report, evaluated
  bool written_then_failed = false;
  while (high - low > 256 && !written_then_failed) {
    const std::string middle = std::to_string((low + high) / 2), out = "pages" + middle;
    under_limit("-v " + middle, kStudy,
                {"--quiet", "--pages", "--jobs", "2", "--out", out, "big.txt"}, dir.path());
    const auto runs = csv_table(read_file(dir.file(out + "/runs.csv")));
    ASSERT_EQ(runs.size(), 1u) << middle;
    const bool written = file_exists(dir.file(out + "/big_output.txt"));
    EXPECT_EQ(runs[0].at("report"), written ? "big_output.txt" : "") << middle;
    const bool ok = runs[0].at("status") == "ok";
    (ok ? high : low) = (low + high) / 2;
    written_then_failed = written && !ok;
    EXPECT_TRUE(ok || runs[0].at("status") == "out of memory") << middle << runs[0].at("status");
  }
  EXPECT_TRUE(written_then_failed) << "no such limit between " << low << " and " << high << " KiB";
}

}  // namespace
