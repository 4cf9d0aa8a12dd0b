#include "run/run.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>

#include "analysis/cycles.h"
#include "analysis/distances.h"
#include "analysis/emg.h"
#include "analysis/work.h"
#include "recording/read_data.h"
#include "recording/store.h"
#include "report/interrupt.h"
#include "report/output.h"

void run_analysis(const Settings& s) {
  preprocessing_emg(s.rms_time, s.mvc_time, s.nl_time, s.emg_threshold);
  run_analysis_after_emg(s);
}

void run_analysis_after_emg(const Settings& s) {
  preprocessing_distances();
  compute_cycles(s.dist_threshold);
  preprocessing_work();
}

ReadResult read_and_analyse(const char* path, const Settings& s) {
  EmgConditioning emg(s.rms_time, s.mvc_time, s.nl_time, s.emg_threshold);
  const ReadResult read =
      read_data(path, SampleDetail::report, [&emg](int experiment) { emg.experiment(experiment); });
  if (read.status == ReadStatus::ok) {
    emg.finish();
    run_analysis_after_emg(s);
  }
  return read;
}

namespace {

// What a file that is not a regular file is, for the message that refuses it.
std::string kind_of_file(unsigned int type) {
  switch (type) {
    case S_IFIFO:
      return " (a FIFO)";
    case S_IFCHR:
      return " (a character device)";
    case S_IFBLK:
      return " (a block device)";
    case S_IFSOCK:
      return " (a socket)";
  }
  return "";
}

}  // namespace

std::string read_failure(const ReadResult& read, const std::string& path) {
  switch (read.status) {
    case ReadStatus::ok:
      break;
    case ReadStatus::calibration_error:
      return "Error reading calibration";
    case ReadStatus::too_many_entries:
      return "To many entries in file, " + std::to_string(no_entries);
    case ReadStatus::too_many_tracks:
      return "To many tracks in file, " + std::to_string(no_tracks);
    case ReadStatus::cannot_open:
      return "cannot open '" + path + "': " + std::strerror(read.sys_errno);
    case ReadStatus::read_error:
      return "cannot read '" + path + "': " + std::strerror(read.sys_errno);
    case ReadStatus::not_regular_file:
      return "not a regular file: '" + path + "'" + kind_of_file(read.file_type);
  }
  return "";
}

bool is_reader_message(ReadStatus status) {
  return status == ReadStatus::calibration_error || status == ReadStatus::too_many_entries ||
         status == ReadStatus::too_many_tracks;
}

int chew_eval_main(int argc, const char* const* argv) {
  remove_temporaries_on_interrupt();
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
  const ReadResult read = read_and_analyse(path, s);
  if (read.status != ReadStatus::ok) {
    const std::string message = read_failure(read, path);
    if (is_reader_message(read.status))
      std::printf("%s\n", message.c_str());
    else
      std::fprintf(stderr, "chew_eval: %s\n", message.c_str());
    return 1;
  }
  const ReportResult report = write_report_file(
      report_name(path), s, evaluate(s.emg_threshold, s.dist_threshold));
  if (!report.ok) {
    std::fprintf(stderr, "chew_eval: %s\n", report.message.c_str());
    return 1;
  }
  return 0;
}
