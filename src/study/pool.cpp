#include "study/pool.h"

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <new>
#include <vector>

#include "io/signals.h"
#include "study/inputs.h"

namespace {

// The texts a worker hands back, in a fixed order.
std::vector<std::string*> texts_of(RecordingTables& t) {
  return {&t.status,    &t.experiments, &t.indices, &t.cycles,   &t.strokes,    &t.trials,
          &t.movements, &t.clenches,    &t.runs,    &t.findings, &t.key_figures};
}

// A worker's rows in a file: a line of numbers "ok warnings errors" and the length of each text,
// then the texts one after the other.
bool write_fragment(const std::string& path, RecordingTables t) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  std::string header = std::to_string(t.ok ? 1 : 0) + " " + std::to_string(t.warnings) + " " +
                       std::to_string(t.errors);
  for (const std::string* text : texts_of(t)) header += " " + std::to_string(text->size());
  header += "\n";
  std::fwrite(header.data(), 1, header.size(), file);
  for (const std::string* text : texts_of(t)) std::fwrite(text->data(), 1, text->size(), file);
  const bool written = std::ferror(file) == 0;
  return std::fclose(file) == 0 && written;
}

// The numbers of a fragment's first line, which this program wrote itself.
bool read_numbers(std::FILE* file, std::vector<unsigned long long>& numbers) {
  std::string line;
  for (int c = std::fgetc(file); c != '\n'; c = std::fgetc(file)) {
    if (c == EOF || line.size() > 1000) return false;
    line += static_cast<char>(c);
  }
  const char* p = line.c_str();
  while (*p != '\0') {
    char* end = nullptr;
    errno = 0;
    numbers.push_back(std::strtoull(p, &end, 10));
    if (end == p || errno != 0) return false;
    p = end;
  }
  return true;
}

bool read_fragment(const std::string& path, RecordingTables& t) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  // Closed also when a text cannot be allocated (std::bad_alloc).
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> closer(file, std::fclose);
  const std::vector<std::string*> texts = texts_of(t);
  std::vector<unsigned long long> numbers;
  bool good = read_numbers(file, numbers) && numbers.size() == 3 + texts.size();
  for (std::size_t k = 0; good && k < texts.size(); ++k) {
    texts[k]->resize(numbers[3 + k]);
    good = std::fread(texts[k]->data(), 1, texts[k]->size(), file) == texts[k]->size();
  }
  good = good && std::fgetc(file) == EOF;
  t.ok = good && numbers[0] == 1;
  if (good) {
    t.warnings = static_cast<int>(numbers[1]);
    t.errors = static_cast<int>(numbers[2]);
  }
  return good;
}

// A worker's exit status when it ran out of memory outside a recording's evaluation (handing
// its rows back).
constexpr int kWorkerOutOfMemory = 4;

std::string ending(int status) {
  if (WIFSIGNALED(status)) {
    const int signal = WTERMSIG(status);
    return "evaluation ended by signal " + std::to_string(signal) + " (" + strsignal(signal) + ")";
  }
  if (WEXITSTATUS(status) == kWorkerOutOfMemory) return kOutOfMemory;
  return "evaluation failed to hand back its results (worker exit status " +
         std::to_string(WEXITSTATUS(status)) + ")";
}

// Hands recording i to a worker through its task pipe. A worker that died leaves the pipe without
// a reader: the SIGPIPE of that write is taken back here, as the worker's end shows on its result
// pipe, and the recording is entered as the worker's so that a signal removes its fragment.
void send_task(pid_t pid, int tasks, std::size_t i) {
  const SignalsHeld held;
  worker_takes(pid, i);
  sigset_t pending;
  sigpending(&pending);
  const bool already_pending = sigismember(&pending, SIGPIPE) == 1;
  if (write(tasks, &i, sizeof i) < 0 && errno == EPIPE && !already_pending) {
    sigset_t pipe_signal;
    sigemptyset(&pipe_signal);
    sigaddset(&pipe_signal, SIGPIPE);
    const timespec now{};
    sigtimedwait(&pipe_signal, nullptr, &now);
  }
}

// Hands finished recordings to in_order in index order.
class Ordering {
 public:
  explicit Ordering(const PoolWork& work) : work_(work) {}
  void finished(std::size_t index, RecordingTables tables) {
    work_.finished(index, tables);
    waiting_.emplace(index, std::move(tables));
    for (auto it = waiting_.find(next_); it != waiting_.end(); it = waiting_.find(next_)) {
      work_.in_order(next_, it->second);
      waiting_.erase(it);
      ++next_;
    }
  }

 private:
  const PoolWork& work_;
  std::map<std::size_t, RecordingTables> waiting_;
  std::size_t next_ = 0;
};

}  // namespace

std::string run_pool(std::size_t count, int jobs, const std::string& scratch_parent,
                     const PoolWork& work) {
  Ordering ordering(work);
  if (jobs <= 1) {
    for (std::size_t i = 0; i < count; ++i) ordering.finished(i, work.evaluate(i));
    return "";
  }
  std::string scratch = in_folder(scratch_parent, ".chew_study_XXXXXX");
  {
    const SignalsHeld held;  // made and entered at once
    if (mkdtemp(scratch.data()) == nullptr)
      return "cannot make a scratch folder in '" + scratch_parent + "': " + std::strerror(errno);
    enter_scratch(scratch.c_str());
  }
  auto fragment = [&](std::size_t i) { return scratch + "/" + std::to_string(i); };

  std::signal(SIGCHLD, SIG_DFL);  // an inherited SIG_IGN would reap the workers unseen

  // Each worker process evaluates recording after recording, as this process hands it their
  // indices, and reports each one done; one process for many recordings spares each the cost of
  // a fresh process and fresh memory.
  struct Worker {
    pid_t pid = -1;
    int tasks = -1, results = -1;  // this process's ends of the two pipes
    bool busy = false;
    std::size_t index = 0;  // the recording it works on, while busy
  };
  std::vector<Worker> workers(std::min(count, static_cast<std::size_t>(jobs)));
  std::size_t next = 0;
  auto start = [&](Worker& w) {
    int tasks[2], results[2];
    if (pipe(tasks) != 0) return false;
    if (pipe(results) != 0) {
      close(tasks[0]), close(tasks[1]);
      return false;
    }
    std::fflush(nullptr);  // a child must not write what this process buffered
    pid_t pid;
    int fork_error;
    {
      const SignalsHeld held;  // the worker is entered before a signal can look for it
      pid = fork();
      fork_error = errno;
      if (pid == 0) become_worker();
      if (pid > 0) enter_worker(pid, kNoRecording);
    }
    if (pid == 0) {
      close(tasks[1]);
      close(results[0]);
      for (const Worker& other : workers) {
        if (other.tasks >= 0) close(other.tasks);
        if (other.results >= 0) close(other.results);
      }
      std::size_t i;
      while (read(tasks[0], &i, sizeof i) == static_cast<ssize_t>(sizeof i)) {
        try {
          if (!write_fragment(fragment(i), work.evaluate(i))) _exit(3);
        } catch (const std::bad_alloc&) {
          _exit(kWorkerOutOfMemory);
        }
        if (write(results[1], &i, sizeof i) != static_cast<ssize_t>(sizeof i)) _exit(3);
      }
      _exit(0);
    }
    close(tasks[0]);
    close(results[1]);
    if (pid < 0) {
      close(tasks[1]), close(results[0]);
      errno = fork_error;
      return false;
    }
    w = Worker{pid, tasks[1], results[0], false, 0};
    return true;
  };
  auto assign = [&](Worker& w) {
    if (next >= count) return;
    const std::size_t i = next++;
    w.busy = true;
    w.index = i;
    // A failed write means the worker is gone, which its result pipe tells.
    send_task(w.pid, w.tasks, i);
  };
  auto stop = [&](Worker& w) {
    close(w.tasks), close(w.results);
    w.tasks = w.results = -1;
  };
  auto running = [&] {
    return std::any_of(workers.begin(), workers.end(), [](const Worker& w) { return w.pid >= 0; });
  };
  // Starts a worker in w's place and hands it a recording. A worker that cannot be started, for
  // whatever reason (a process limit, no file descriptor left for its pipes, no memory), leaves
  // the rest of the recordings to the running workers; with none running, this process evaluates
  // the next recording itself and then tries again.
  auto staff = [&](Worker& w) {
    while (next < count) {
      if (start(w)) {
        assign(w);
        return;
      }
      if (running()) return;
      const std::size_t i = next++;
      ordering.finished(i, work.evaluate(i));
    }
  };
  for (Worker& w : workers) staff(w);
  for (;;) {
    std::vector<pollfd> watched;
    std::vector<Worker*> of;
    for (Worker& w : workers) {
      if (w.results < 0) continue;
      watched.push_back({w.results, POLLIN, 0});
      of.push_back(&w);
    }
    if (watched.empty()) break;
    if (poll(watched.data(), watched.size(), -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (std::size_t k = 0; k < watched.size(); ++k) {
      if (watched[k].revents == 0) continue;
      Worker& w = *of[k];
      std::size_t i;
      if (read(w.results, &i, sizeof i) == static_cast<ssize_t>(sizeof i) && w.busy &&
          i == w.index) {
        w.busy = false;
        RecordingTables tables;
        bool handed_back = false, out_of_memory = false;
        {
          const SignalsHeld held;  // the fragment is read and removed before it is forgotten
          try {
            handed_back = read_fragment(fragment(i), tables);
          } catch (const std::bad_alloc&) {
            out_of_memory = true;
          }
          std::remove(fragment(i).c_str());
          worker_takes(w.pid, kNoRecording);
        }
        if (!handed_back) {
          tables = work.failed(
              i, out_of_memory ? kOutOfMemory : "evaluation failed to hand back its results");
        }
        ordering.finished(i, std::move(tables));
        if (next < count) {
          assign(w);
        } else {
          stop(w);  // it reads the end of its tasks and exits
        }
        continue;
      }
      // The worker ended: after its last task, or in the middle of one.
      stop(w);
      int status = 0;
      pid_t ended;
      int wait_error;
      {
        const SignalsHeld held;  // reaped and forgotten at once: its pid may pass to another
        do {
          ended = waitpid(w.pid, &status, 0);
        } while (ended < 0 && errno == EINTR);
        wait_error = errno;
        leave_worker(w.pid);
      }
      w.pid = -1;
      if (w.busy) {
        w.busy = false;
        std::remove(fragment(w.index).c_str());
        ordering.finished(
            w.index, work.failed(w.index, ended < 0 ? std::string("lost its worker process: ") +
                                                          std::strerror(wait_error)
                                                    : ending(status)));
        staff(w);
      }
    }
  }
  // The workers exit on their closed task pipes; one still busy here was lost to a failed poll
  // and is stopped.
  for (Worker& w : workers) {
    if (w.tasks >= 0) stop(w);
    if (w.pid < 0) continue;
    if (w.busy) kill(w.pid, SIGTERM);
    const SignalsHeld held;
    int status;
    while (waitpid(w.pid, &status, 0) < 0 && errno == EINTR) {
    }
    leave_worker(w.pid);
    if (w.busy) {
      w.busy = false;
      std::remove(fragment(w.index).c_str());
      ordering.finished(w.index, work.failed(w.index, "lost its worker process"));
    }
  }
  // Recordings no worker took (none could be started again): evaluated here.
  while (next < count) {
    const std::size_t i = next++;
    ordering.finished(i, work.evaluate(i));
  }
  const SignalsHeld held;
  rmdir(scratch.c_str());
  leave_scratch();
  return "";
}
