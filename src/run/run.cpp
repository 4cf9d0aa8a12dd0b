#include "run/run.h"

#include <cstdio>
#include <cstring>

#include "analysis/cycles.h"
#include "analysis/distances.h"
#include "analysis/emg.h"
#include "analysis/work.h"
#include "recording/read_data.h"
#include "recording/store.h"
#include "report/output.h"

void run_analysis(const RunSettings& s) {
  preprocessing_emg(s.rms_time, s.mvc_time, s.nl_time, s.emg_threshold);
  run_analysis_after_emg(s);
}

void run_analysis_after_emg(const RunSettings& s) {
  preprocessing_distances();
  compute_cycles(s.dist_threshold);
  preprocessing_work();
}

int chew_eval_main(int argc, const char* const* argv) {
  const CommandLine command_line = scan_options(argc, argv);
  const RunSettings& s = command_line.settings;
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
  const ReadResult read = read_data(path);
  switch (read.status) {
    case ReadStatus::ok:
      break;
    case ReadStatus::calibration_error:
      std::printf("Error reading calibration\n");
      return 1;
    case ReadStatus::too_many_entries:
      std::printf("To many entries in file, %d\n", no_entries);
      return 1;
    case ReadStatus::too_many_tracks:
      std::printf("To many tracks in file, %d\n", no_tracks);
      return 1;
    case ReadStatus::cannot_open:
      std::fprintf(stderr, "chew_eval: cannot open '%s': %s\n", path,
                   std::strerror(read.sys_errno));
      return 1;
    case ReadStatus::read_error:
      std::fprintf(stderr, "chew_eval: cannot read '%s': %s\n", path,
                   std::strerror(read.sys_errno));
      return 1;
  }
  run_analysis(s);
  const ReportResult report =
      output_header(path, s.rms_time, s.mvc_time, s.nl_time, s.emg_threshold, s.dist_threshold);
  if (!report.ok) {
    std::fprintf(stderr, "chew_eval: %s\n", report.message.c_str());
    return 1;
  }
  return 0;
}
