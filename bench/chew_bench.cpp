// chew_bench: one recording evaluated by the straightforward implementation (a character at a
// time with sscanf, every EMG window summed afresh) and by the fast one, side by side.
//
//   chew_bench [--repeat N] recording.txt
//   chew_bench --stages N recording.txt       each stage of the fast one alone: best of N, shares
//   chew_bench --process N program [args...]  a program run N times: the median of its user +
//                                             system CPU time in ms, its largest peak resident
//                                             memory in KiB and the median wall time in ms
//
// Prints each stage's time for both in this process (the best of N runs, after the first has
// touched the store), whether the two reports are identical byte for byte, and then the time and
// peak resident memory of whole runs, each in a fresh process as one run of chew_eval is.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "analysis/evaluation.h"
#include "pipeline/pipeline.h"
#include "recording/read_data.h"
#include "recording/store.h"
#include "reference/emg_reference.h"
#include "reference/read_reference.h"
#include "report/output.h"

namespace {

// The fast evaluation is evaluate_file, as every program runs it: the reading with each
// experiment's EMG conditioned as the reader finishes it, the other stages and the evaluation.
constexpr const char* kStages[] = {"read and analyse", "report"};
constexpr int kStageCount = 2;

struct Run {
  double seconds[kStageCount] = {};
  std::string report;
  bool ok = true;
  double total() const {
    double sum = 0;
    for (double s : seconds) sum += s;
    return sum;
  }
};

double now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// One whole evaluation with the default settings; the report goes to memory.
Run evaluate(const char* path, bool fast) {
  const Settings s;
  Run run;
  double start = now();
  Evaluation evaluation;
  if (fast) {
    const FileEvaluation file = evaluate_file(path, s, Output::report);
    run.ok = file.ok();
    if (run.ok) evaluation = file.evaluation;
  } else {
    reset_store();
    run.ok = read_data_reference(path).status == ReadStatus::ok;
    if (run.ok) {
      preprocessing_emg_reference(s.rms_time, s.mvc_time, s.nl_time, s.emg_threshold);
      run_analysis_after_emg(s);
      evaluation = ::evaluate(s.emg_threshold, s.dist_threshold);
    }
  }
  run.seconds[0] = now() - start;
  if (!run.ok) return run;
  start = now();
  char* text = nullptr;
  std::size_t size = 0;
  std::FILE* out = open_memstream(&text, &size);
  write_report(out, s, evaluation);
  std::fclose(out);
  run.seconds[1] = now() - start;
  run.report.assign(text, size);
  std::free(text);
  return run;
}

struct Process {
  double seconds = -1;  // wall time of the whole process
  long peak_kib = -1;   // peak resident memory
};

// This program evaluating the file once in a process of its own, as one run of chew_eval does:
// reading into a fresh store, all stages, the report.
Process run_process(const char* self, const char* path, bool fast) {
  const double start = now();
  pid_t child = fork();
  if (child == 0) {
    execl(self, self, fast ? "--once-fast" : "--once-straightforward", path,
          static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (child < 0 || wait4(child, &status, 0, &usage) < 0 || !WIFEXITED(status) ||
      WEXITSTATUS(status) != 0)
    return {};
  return {now() - start, usage.ru_maxrss};
}

// The median user + system CPU time (ms) of n runs of argv[0..], the largest peak memory and the
// median wall time.
int measure_process(int n, char** argv) {
  std::vector<double> cpu_ms, wall_ms;
  long peak_kib = 0;
  for (int r = 0; r < n; ++r) {
    const double start = now();
    const pid_t child = fork();
    if (child == 0) {
      std::freopen("/dev/null", "w", stdout);  // what it prints would mix with the figures
      execv(argv[0], argv);
      _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) < 0 || !WIFEXITED(status)) {
      std::fprintf(stderr, "chew_bench: '%s' did not run\n", argv[0]);
      return 1;
    }
    const auto ms = [](const timeval& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
    wall_ms.push_back((now() - start) * 1e3);
    cpu_ms.push_back(ms(usage.ru_utime) + ms(usage.ru_stime));
    peak_kib = std::max(peak_kib, usage.ru_maxrss);
  }
  std::sort(cpu_ms.begin(), cpu_ms.end());
  std::sort(wall_ms.begin(), wall_ms.end());
  std::printf("%.1f %ld %.1f\n", cpu_ms[cpu_ms.size() / 2], peak_kib, wall_ms[wall_ms.size() / 2]);
  return 0;
}

// The fast evaluation's parts, each the best of n runs, and their shares of the whole: the
// reading alone (read_data without conditioning), the rest of evaluate_file (the EMG conditioning,
// most of it during the reading, and the other stages), the report.
int measure_stages(int n, const char* path) {
  double read = 0;
  Run best;
  for (int r = 0; r < n; ++r) {
    reset_store();
    const double start = now();
    const bool ok = read_data(path).status == ReadStatus::ok;
    const double seconds = now() - start;
    Run run = evaluate(path, true);
    if (!ok || !run.ok) {
      std::fprintf(stderr, "chew_bench: cannot evaluate '%s'\n", path);
      return 1;
    }
    read = r == 0 ? seconds : std::min(read, seconds);
    for (int st = 0; st < kStageCount; ++st)
      best.seconds[st] = r == 0 ? run.seconds[st] : std::min(best.seconds[st], run.seconds[st]);
  }
  const double parts[] = {read, best.seconds[0] - read, best.seconds[1]};
  const char* names[] = {"read_data", "the analysis stages", "report"};
  for (int k = 0; k < 3; ++k)
    std::printf("  %-24s %8.1f ms %6.1f%%\n", names[k], parts[k] * 1e3,
                100 * parts[k] / best.total());
  std::printf("  %-24s %8.1f ms\n", "all stages", best.total() * 1e3);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 4 && std::strcmp(argv[1], "--process") == 0)
    return measure_process(std::max(1, std::atoi(argv[2])), argv + 3);
  if (argc == 4 && std::strcmp(argv[1], "--stages") == 0)
    return measure_stages(std::max(1, std::atoi(argv[2])), argv[3]);
  int repeat = 3;
  const char* path = nullptr;
  for (int k = 1; k < argc; ++k) {
    if (std::strcmp(argv[k], "--repeat") == 0 && k + 1 < argc) {
      repeat = std::max(1, std::atoi(argv[++k]));
    } else if ((std::strcmp(argv[k], "--once-fast") == 0 ||
                std::strcmp(argv[k], "--once-straightforward") == 0) &&
               k + 1 < argc) {
      return evaluate(argv[k + 1], argv[k][7] == 'f').ok ? 0 : 1;
    } else {
      path = argv[k];
    }
  }
  if (path == nullptr) {
    std::fprintf(stderr, "usage: chew_bench [--repeat N] recording.txt\n");
    return 2;
  }

  Run best[2];  // [0] straightforward, [1] fast
  for (int r = 0; r < repeat; ++r) {
    for (int fast = 0; fast < 2; ++fast) {  // alternating, so that both see the same machine
      Run run = evaluate(path, fast == 1);
      if (!run.ok) {
        std::fprintf(stderr, "chew_bench: cannot evaluate '%s'\n", path);
        return 1;
      }
      if (r == 0) {
        best[fast] = run;
      } else {
        for (int st = 0; st < kStageCount; ++st)
          best[fast].seconds[st] = std::min(best[fast].seconds[st], run.seconds[st]);
      }
    }
  }
  std::printf("recording: %s (%d samples, %d experiments), best of %d runs\n\n", path, no_entries,
              no_tracks, repeat);
  std::printf("%-24s %16s %10s %10s %8s\n", "stage", "straightforward", "fast", "share", "ratio");
  for (int st = 0; st < kStageCount; ++st)
    std::printf("%-24s %14.1f ms %7.1f ms %9.1f%% %7.1fx\n", kStages[st], best[0].seconds[st] * 1e3,
                best[1].seconds[st] * 1e3, 100 * best[1].seconds[st] / best[1].total(),
                best[0].seconds[st] / best[1].seconds[st]);
  std::printf("%-24s %14.1f ms %7.1f ms %9s %7.1fx\n\n", "whole run", best[0].total() * 1e3,
              best[1].total() * 1e3, "", best[0].total() / best[1].total());
  const bool identical = best[0].report == best[1].report;
  std::printf("reports identical byte for byte: %s (%zu bytes)\n", identical ? "yes" : "NO",
              best[1].report.size());

  // Whole runs in processes of their own, alternating; the best time and the largest peak.
  Process process[2];
  for (int r = 0; r < repeat; ++r) {
    for (int fast = 0; fast < 2; ++fast) {
      Process p = run_process("/proc/self/exe", path, fast == 1);
      if (p.seconds < 0) {
        std::fprintf(stderr, "chew_bench: the %s process failed\n",
                     fast ? "fast" : "straightforward");
        return 1;
      }
      if (r == 0 || p.seconds < process[fast].seconds) process[fast].seconds = p.seconds;
      if (p.peak_kib > process[fast].peak_kib) process[fast].peak_kib = p.peak_kib;
    }
  }
  std::printf("whole process, best of %d: straightforward %.1f ms, fast %.1f ms, ratio %.1fx\n",
              repeat, process[0].seconds * 1e3, process[1].seconds * 1e3,
              process[0].seconds / process[1].seconds);
  std::printf("peak resident memory: straightforward %ld KiB, fast %ld KiB\n", process[0].peak_kib,
              process[1].peak_kib);
  return identical ? 0 : 1;
}
