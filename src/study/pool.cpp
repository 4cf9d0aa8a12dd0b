#include "study/pool.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

#include "study/inputs.h"
#include "study/signals.h"

namespace {

// The texts a worker hands back, in a fixed order.
std::vector<std::string*> texts_of(RecordingTables& t) {
  return {&t.status, &t.experiments, &t.indices,  &t.cycles,
          &t.trials, &t.runs,        &t.findings, &t.key_figures};
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
  const std::vector<std::string*> texts = texts_of(t);
  std::vector<unsigned long long> numbers;
  bool good = read_numbers(file, numbers) && numbers.size() == 3 + texts.size();
  for (std::size_t k = 0; good && k < texts.size(); ++k) {
    texts[k]->resize(numbers[3 + k]);
    good = std::fread(texts[k]->data(), 1, texts[k]->size(), file) == texts[k]->size();
  }
  good = good && std::fgetc(file) == EOF;
  std::fclose(file);
  t.ok = good && numbers[0] == 1;
  if (good) {
    t.warnings = static_cast<int>(numbers[1]);
    t.errors = static_cast<int>(numbers[2]);
  }
  return good;
}

std::string ending(int status) {
  if (WIFSIGNALED(status)) {
    const int signal = WTERMSIG(status);
    return "evaluation ended by signal " + std::to_string(signal) + " (" + strsignal(signal) + ")";
  }
  return "evaluation failed to hand back its results (worker exit status " +
         std::to_string(WEXITSTATUS(status)) + ")";
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
  std::map<pid_t, std::size_t> running;
  std::size_t next = 0;
  while (next < count || !running.empty()) {
    while (next < count && running.size() < static_cast<std::size_t>(jobs)) {
      const std::size_t i = next;
      std::fflush(nullptr);  // a child must not write what this process buffered
      pid_t pid;
      int fork_error;
      {
        const SignalsHeld held;  // the worker is entered before a signal can look for it
        pid = fork();
        fork_error = errno;
        if (pid == 0) become_worker();
        if (pid > 0) enter_worker(pid, i);
      }
      if (pid == 0) {
        const bool written = write_fragment(fragment(i), work.evaluate(i));
        _exit(written ? 0 : 3);
      }
      // At a process limit, a worker that finishes frees a place: wait for it and try again.
      if (pid < 0 && fork_error == EAGAIN && !running.empty()) break;
      ++next;
      if (pid < 0) {
        ordering.finished(i, work.failed(i, std::string("cannot start a worker process: ") +
                                                std::strerror(fork_error)));
        continue;
      }
      running.emplace(pid, i);
    }
    if (running.empty()) continue;
    // Waits without reaping: until the worker is left, its pid cannot pass to another process.
    siginfo_t info{};
    int waited;
    do {
      waited = waitid(P_ALL, 0, &info, WEXITED | WNOWAIT);
    } while (waited < 0 && errno == EINTR);
    if (waited < 0) {  // no children left to wait for, though `running` says otherwise
      const std::string message = std::string("lost its worker process: ") + std::strerror(errno);
      for (const auto& [lost, i] : running) {
        leave_worker(lost);
        ordering.finished(i, work.failed(i, message));
      }
      running.clear();
      continue;
    }
    const pid_t pid = info.si_pid;
    const auto it = running.find(pid);
    int status = 0;
    RecordingTables tables;
    bool handed_back = false;
    {
      const SignalsHeld held;  // the fragment is read and removed before the worker is left
      waitpid(pid, &status, 0);
      if (it != running.end()) {
        handed_back = WIFEXITED(status) && WEXITSTATUS(status) == 0 &&
                      read_fragment(fragment(it->second), tables);
        std::remove(fragment(it->second).c_str());
        leave_worker(pid);
      }
    }
    if (it == running.end()) continue;
    const std::size_t i = it->second;
    running.erase(it);
    ordering.finished(i, handed_back ? std::move(tables) : work.failed(i, ending(status)));
  }
  const SignalsHeld held;
  rmdir(scratch.c_str());
  leave_scratch();
  return "";
}
