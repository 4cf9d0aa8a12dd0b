// Fuzz target: arbitrary bytes as a data file, then the whole run over the store.
//
// Every input is written as a data file into a scratch folder and then
//  1. read by the block reader and by the straightforward reference reader: both must end alike
//     and leave the same store, bit for bit;
//  2. if it was read, conditioned under one of eight sets of run settings (chosen by the sum of
//     the input's bytes) by the fast EMG conditioning and by the reference one, which must leave
//     the same store again, then taken through the remaining stages and the whole report, written
//     to /dev/null;
//  3. read once more and run as chew_eval runs it, under the same settings (each experiment's EMG
//     conditioned as the reader finishes it): the store must be that of 2. but for what this
//     reading does not keep, and the report written beside the data file; nothing else may
//     appear in the folder.
// Any difference or failure aborts, which the fuzzer reports as a crash.
#include <dirent.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <limits>
#include <string>
#include <vector>

#include "analysis/cycles.h"
#include "analysis/distances.h"
#include "analysis/emg.h"
#include "analysis/evaluation.h"
#include "analysis/work.h"
#include "recording/read_data.h"
#include "recording/store.h"
#include "reference/emg_reference.h"
#include "reference/read_reference.h"
#include "reference/snapshot.h"
#include "report/output.h"
#include "run/options.h"
#include "run/run.h"

namespace {

[[noreturn]] void fail(const std::string& what) {
  std::fprintf(stderr, "fuzz_reader: %s\n", what.c_str());
  std::abort();
}

// A folder of its own for the data file and its report. Its path holds no ".", so the report of
// <folder>/data is <folder>/data_output.txt.
struct Scratch {
  std::string folder, data, report;
  std::FILE* sink = nullptr;

  Scratch() {
    std::string base = std::filesystem::temp_directory_path().string();
    if (base.find('.') != std::string::npos) base = "/tmp";
    std::string pattern = base + "/chew_fuzz_XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) fail("cannot create a scratch folder");
    folder = pattern;
    data = folder + "/data";
    report = folder + "/data_output.txt";
    sink = std::fopen("/dev/null", "w");
    if (sink == nullptr) fail("cannot open /dev/null");
  }
  ~Scratch() {
    std::remove(data.c_str());
    std::remove(report.c_str());
    rmdir(folder.c_str());
  }

  // The names in the folder other than "." and "..", separated by blanks, in no fixed order.
  std::string listing() const {
    std::string names;
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) fail("cannot list " + folder);
    while (const dirent* item = readdir(dir)) {
      if (std::strcmp(item->d_name, ".") != 0 && std::strcmp(item->d_name, "..") != 0)
        names += std::string(" ") + item->d_name;
    }
    closedir(dir);
    return names;
  }
};

Scratch& scratch() {
  static Scratch s;
  return s;
}

// Run settings the option scan can produce (windows are never negative: chew_eval rejects them
// before reading), from the defaults to the degenerate.
Settings settings_for(std::uint8_t selector) {
  constexpr long double inf = std::numeric_limits<long double>::infinity();
  constexpr long double nan = std::numeric_limits<long double>::quiet_NaN();
  constexpr long long huge = std::numeric_limits<long long>::max();
  Settings s;
  switch (selector % 8) {
    case 0:
      break;
    case 1:
      s.rms_time = s.mvc_time = s.nl_time = 0;
      break;
    case 2:
      s.rms_time = s.mvc_time = s.nl_time = 1;
      s.emg_threshold = 0;
      s.dist_threshold = 0;
      break;
    case 3:
      s.rms_time = s.mvc_time = s.nl_time = huge;
      break;
    case 4:
      s.emg_threshold = nan;
      s.dist_threshold = nan;
      break;
    case 5:
      s.emg_threshold = inf;
      s.dist_threshold = -inf;
      break;
    case 6:
      s.rms_time = 5;
      s.mvc_time = 20;
      s.nl_time = 10;
      s.emg_threshold = static_cast<long double>(-100.0) / 100;
      s.dist_threshold = static_cast<long double>(1e308);
      break;
    default:
      s.rms_time = 10;
      s.mvc_time = 40;
      s.nl_time = 20;
      s.emg_threshold = static_cast<long double>(0.5) / 100;
      s.dist_threshold = static_cast<long double>(0.5);
      break;
  }
  return s;
}

void write_data(const std::string& path, const std::uint8_t* bytes, std::size_t size) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) fail("cannot write " + path);
  if (size > 0 && std::fwrite(bytes, 1, size, file) != size) fail("cannot write " + path);
  if (std::fclose(file) != 0) fail("cannot write " + path);
}

// The store without what chew_eval's reading does not keep: the channels' columns hold only some
// experiments' values, and the incisal positions and the facts of the raw positions are only
// the study's.
StoreSnapshot as_chew_eval_keeps(StoreSnapshot s) {
  for (std::vector<long double>& column : s.samples.channel) column.clear();
  s.samples.channels_kept = true;
  for (std::vector<long double>* column :
       {&s.samples.incisal_x, &s.samples.incisal_y, &s.samples.incisal_z})
    column->clear();
  s.samples.positions_kept = false;
  s.raw_positions.assign(s.raw_positions.size(), RawPositions{});
  return s;
}

void expect_same(const StoreSnapshot& expected, const StoreSnapshot& actual, const char* stage) {
  const std::string difference = first_difference(expected, actual);
  if (!difference.empty()) fail(std::string(stage) + " differs from the reference: " + difference);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  Scratch& s = scratch();
  write_data(s.data, bytes, size);
  const char* path = s.data.c_str();

  // 1. Both readers, with the facts of the raw positions that the data checks read.
  reset_store();
  const ReadResult expected = read_data_reference(path, SampleDetail::study);
  const StoreSnapshot expected_store = take_snapshot();
  reset_store();
  const ReadResult read = read_data(path, SampleDetail::study);
  if (read.status != expected.status) {
    fail("reader status " + std::to_string(static_cast<int>(read.status)) + ", reference " +
         std::to_string(static_cast<int>(expected.status)));
  }
  if (read.skipped_lines != expected.skipped_lines ||
      read.calibration_lines != expected.calibration_lines ||
      read.samples_before_calibration != expected.samples_before_calibration)
    fail("the reader's counts differ from the reference's");
  expect_same(expected_store, take_snapshot(), "reader");
  if (read.status != ReadStatus::ok) return 0;

  // 2. Both EMG conditionings under the selected settings, then the rest of a run.
  unsigned sum = 0;  // every byte counts, so the seeds spread over all the settings
  for (std::size_t k = 0; k < size; ++k) sum += bytes[k];
  const Settings v = settings_for(static_cast<std::uint8_t>(sum));
  preprocessing_emg_reference(v.rms_time, v.mvc_time, v.nl_time, v.emg_threshold);
  const StoreSnapshot expected_emg = take_snapshot();
  reset_store();
  const RawFacts raw =
      raw_facts(read_data(path, SampleDetail::study));  // the data checks see any input too
  preprocessing_emg(v.rms_time, v.mvc_time, v.nl_time, v.emg_threshold);
  expect_same(expected_emg, take_snapshot(), "EMG conditioning");
  preprocessing_distances();
  compute_cycles(v.dist_threshold);
  preprocessing_work();
  const StoreSnapshot expected_run = take_snapshot();
  write_report(s.sink, v, evaluate(v.emg_threshold, v.dist_threshold, raw));

  // 3. The run as chew_eval runs it, report file included.
  reset_store();
  if (read_and_analyse(path, v).status != ReadStatus::ok) fail("not read as chew_eval reads it");
  expect_same(as_chew_eval_keeps(expected_run), as_chew_eval_keeps(take_snapshot()),
              "chew_eval's run");
  const ReportResult report =
      write_report_file(report_name(path), v, evaluate(v.emg_threshold, v.dist_threshold));
  if (!report.ok) fail("report not written: " + report.message);
  const std::string names = s.listing();
  if (names != " data data_output.txt" && names != " data_output.txt data")
    fail("the scratch folder holds:" + names);
  return 0;
}
