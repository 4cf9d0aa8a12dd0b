#include "run/run.h"

#include <cstdio>
#include <new>

#include "io/signals.h"
#include "pipeline/pipeline.h"
#include "report/output.h"
#include "run/options.h"

namespace {

// The run; `evaluated` names the data file once its evaluation begins.
int evaluate_and_report(int argc, const char* const* argv, const char*& evaluated) {
  const CommandLine command_line = scan_options(argc, argv);
  const Settings& s = command_line.settings;
  if (command_line.version) {
    print_version(stdout);
    return 0;
  }
  if (command_line.path == nullptr || command_line.help) {
    print_help(stdout, command_line);
    return 0;
  }
  if (const char* option = negative_window(s)) {
    long long value = option[1] == 'r' ? s.rms_time : option[1] == 'm' ? s.mvc_time : s.nl_time;
    std::fprintf(stderr, "chew_eval: %s must not be negative (%lld ms)\n", option, value);
    return 2;
  }
  const char* path = command_line.path;
  if (report_is_data_file(path)) {
    std::fprintf(stderr,
                 "chew_eval: the report '%s' would replace the data file '%s' (both names lead "
                 "to one file); nothing written\n",
                 report_name(path).c_str(), path);
    return 1;
  }
  evaluated = path;
  const FileEvaluation file = evaluate_file(path, s, Output::report);
  if (!file.ok()) {
    if (is_reader_message(file.read.status))
      std::printf("%s\n", file.failure.c_str());
    else
      std::fprintf(stderr, "chew_eval: %s\n", file.failure.c_str());
    return 1;
  }
  const ReportResult report = write_report_file(report_name(path), s, file.evaluation);
  if (!report.ok) {
    std::fprintf(stderr, "chew_eval: %s\n", report.message.c_str());
    return 1;
  }
  return 0;
}

}  // namespace

int chew_eval_main(int argc, const char* const* argv) {
  remove_temporaries_on_interrupt();
  const char* evaluated = nullptr;
  try {
    return evaluate_and_report(argc, argv, evaluated);
  } catch (const std::bad_alloc&) {
  }
  // Unwound: the temporary report, if there was one, is removed, and an older report stands.
  if (evaluated != nullptr)
    std::fprintf(stderr, "chew_eval: cannot evaluate '%s': out of memory\n", evaluated);
  else
    std::fputs("chew_eval: out of memory\n", stderr);
  return 1;
}
