// Fuzz target: arbitrary argument vectors through the option scan, the help text and the check of
// the window lengths. The input's bytes, split at every NUL byte, are the arguments (the first
// one the program name; an empty input is an empty vector). Nothing here opens a file or runs a
// stage. Checked besides memory safety: the program name is the first argument, the data file
// path is one of the later arguments themselves, the help text has its eight lines, and the
// window check names exactly the first negative window. Settings the window check lets
// through evaluate a small recording, as chew_eval would, and its report is formatted.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "pipeline/pipeline.h"
#include "report/output.h"
#include "run/options.h"

namespace {

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "fuzz_options: %s\n", what);
  std::abort();
}

void check_help(const CommandLine& command_line) {
  char* text = nullptr;
  std::size_t length = 0;
  std::FILE* out = open_memstream(&text, &length);
  if (out == nullptr) fail("open_memstream failed");
  print_help(out, command_line);
  std::fclose(out);
  const std::string help(text, length);
  std::free(text);
  std::size_t newlines = 0;
  for (char c : help) newlines += c == '\n';
  std::size_t in_name = 0;
  for (char c : command_line.program) in_name += c == '\n';
  const std::string last = "-h                : print this help text\n";
  if (help.compare(0, command_line.program.size(), command_line.program) != 0)
    fail("the help text does not begin with the program name");
  if (newlines != 8 + in_name || help.size() < last.size() ||
      help.compare(help.size() - last.size(), last.size(), last) != 0)
    fail("the help text is not eight lines ending in the -h line");
}

// A small recording of 18 experiments, written once: a maximal clench, an opening and chewing,
// enough for every stage to have something to do.
struct Recording {
  std::string path;
  ~Recording() { std::remove(path.c_str()); }
};

const std::string& recording() {
  static const Recording made{[] {
    char name[] = "/tmp/chew_fuzz_options_XXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0) fail("cannot create the recording");
    std::FILE* file = fdopen(fd, "w");
    std::fprintf(file, "Frequency:   100\nCalibr 0 0 0 1 0 0 0 1 0\n");
    for (int e = 0; e < 18; ++e)
      for (int i = 0; i < 12; ++i) {
        const double opening = (i % 4) * 2.5 * (e >= 2), emg = (i % 3 + 1) * (e + 1) * 10.0;
        std::fprintf(file, "%d 0 0 0 1 0 0 0 %g 0 0 0 0 %g %g %g %g\n", i * 10, opening, emg,
                     -emg / 2, emg / 3, emg);
      }
    std::fclose(file);
    return std::string(name);
  }()};
  return made.path;
}

void check_evaluation(const Settings& settings) {
  const FileEvaluation file = evaluate_file(recording().c_str(), settings, Output::report);
  if (!file.ok()) fail("the recording was not read");
  std::FILE* out = std::fopen("/dev/null", "w");
  if (out == nullptr) fail("cannot open /dev/null");
  write_report(out, settings, file.evaluation);
  std::fclose(out);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  std::vector<std::string> arguments;
  if (size > 0) {
    const char* text = reinterpret_cast<const char*>(bytes);
    std::size_t start = 0;
    for (std::size_t k = 0; k <= size; ++k) {
      if (k == size || text[k] == '\0') {
        arguments.emplace_back(text + start, k - start);
        start = k + 1;
      }
    }
  }
  std::vector<const char*> argv;
  for (const std::string& argument : arguments) argv.push_back(argument.c_str());
  argv.push_back(nullptr);
  const int argc = static_cast<int>(arguments.size());

  const CommandLine command_line = scan_options(argc, argv.data());

  if (command_line.program != (argc > 0 ? arguments[0] : std::string()))
    fail("the program name is not the first argument");
  if (command_line.path != nullptr) {
    bool found = false;
    for (int k = 1; k < argc; ++k) found = found || command_line.path == argv[k];
    if (!found) fail("the data file path is not one of the arguments");
  }
  if (command_line.path == nullptr || command_line.help) check_help(command_line);

  const Settings& s = command_line.settings;
  const char* negative = negative_window(s);
  const char* expected = s.rms_time < 0   ? "-rms_time"
                         : s.mvc_time < 0 ? "-mvc_time"
                         : s.nl_time < 0  ? "-nl_time"
                                          : nullptr;
  if ((negative == nullptr) != (expected == nullptr) ||
      (negative != nullptr && std::strcmp(negative, expected) != 0))
    fail("negative_window names the wrong option");
  if (negative == nullptr) check_evaluation(s);
  return 0;
}
