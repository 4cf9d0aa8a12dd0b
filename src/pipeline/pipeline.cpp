#include "pipeline/pipeline.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>

#include "analysis/checks.h"
#include "analysis/clinical.h"
#include "analysis/cycles.h"
#include "analysis/distances.h"
#include "analysis/emg.h"
#include "analysis/work.h"
#include "recording/store.h"

void run_analysis(const Settings& s) {
  preprocessing_emg(s.rms_time, s.mvc_time, s.nl_time, s.emg_threshold);
  run_analysis_after_emg(s);
}

void run_analysis_after_emg(const Settings& s) {
  preprocessing_distances();
  compute_cycles(s.dist_threshold);
  preprocessing_work();
}

FileEvaluation evaluate_file(const char* path, const Settings& s, Output what,
                             std::uint32_t clench_experiments) {
  FileEvaluation result;
  reset_store();
  const bool study = what != Output::report;
  EmgConditioning emg(s.rms_time, s.mvc_time, s.nl_time, s.emg_threshold);
  RawFactsGatherer raw;
  std::vector<ClenchWindow> clench_windows(kMaxTracks);
  // One step per experiment, wherever it runs: the checks take the raw values before the
  // conditioning smooths them in place, the clench windows the smoothed ones before the next
  // experiment may take their place.
  const auto experiment_read = [&](int experiment) {
    if (study) raw.experiment(experiment);
    emg.experiment(experiment);
    if (experiment < kMaxTracks && (clench_experiments >> experiment) & 1u)
      clench_windows[experiment] = clench_window(experiment);
  };
  const SampleDetail detail = study ? SampleDetail::study : SampleDetail::report;
  if (what == Output::pages) {
    result.read = read_data(path, detail);
    if (result.ok())
      for (int t = 0; t < std::min(no_tracks, kMaxTracks); ++t) experiment_read(t);
  } else {
    result.read = read_data(path, detail, experiment_read);
  }
  result.counts = {no_entries, no_tracks, calibration.type, sampling_rate(), recording_form()};
  if (!result.ok()) {
    result.failure = read_failure(result.read, path);
    return result;
  }
  emg.finish();
  run_analysis_after_emg(s);
  result.evaluation = study ? evaluate(s.emg_threshold, s.dist_threshold, raw.finish(result.read))
                            : evaluate(s.emg_threshold, s.dist_threshold);
  result.evaluation.clench_windows = std::move(clench_windows);
  return result;
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
