// Fuzz target: arbitrary bytes as a data file, then the whole run over the store.
//
// Every input is written as a data file into a scratch folder and then
//  1. read by the block reader and by the straightforward reference reader: both must end alike
//     and leave the same store, bit for bit;
//  2. if it was read, conditioned under one of eight sets of run settings (chosen by the sum of
//     the input's bytes) by the fast EMG conditioning and by the reference one, which must leave
//     the same store again, then taken through the remaining stages and the whole report;
//  3. evaluated by evaluate_file as chew_eval (each experiment's EMG conditioned as the reader
//     finishes it) and as chew_study evaluates it for tables and for pages, under the same
//     settings: the store must be that of 2. but for what the reading does not keep, the
//     evaluations' reports the same bytes and the data checks' findings the same; chew_eval's
//     report is written beside the data file, and nothing else may appear in the folder.
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

#include "analysis/checks.h"
#include "analysis/emg.h"
#include "analysis/evaluation.h"
#include "pipeline/pipeline.h"
#include "recording/read_data.h"
#include "recording/store.h"
#include "reference/emg_reference.h"
#include "reference/read_reference.h"
#include "reference/snapshot.h"
#include "report/output.h"

namespace {

[[noreturn]] void fail(const std::string& what) {
  std::fprintf(stderr, "fuzz_reader: %s\n", what.c_str());
  std::abort();
}

// A folder of its own for the data file and its report. Its path holds no ".", so the report of
// <folder>/data is <folder>/data_output.txt.
struct Scratch {
  std::string folder, data, report;

  Scratch() {
    std::string base = std::filesystem::temp_directory_path().string();
    if (base.find('.') != std::string::npos) base = "/tmp";
    std::string pattern = base + "/chew_fuzz_XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) fail("cannot create a scratch folder");
    folder = pattern;
    data = folder + "/data";
    report = folder + "/data_output.txt";
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

// The store without what an evaluation during the reading does not keep: the channels' columns
// hold only some experiments' values; and, unless `study`, the incisal positions and the facts
// of the raw positions, which only the study's reading gathers.
StoreSnapshot as_chew_eval_keeps(StoreSnapshot s, bool study) {
  for (std::vector<long double>& column : s.samples.channel) column.clear();
  s.samples.channels_kept = true;
  if (study) return s;
  for (std::vector<long double>* column :
       {&s.samples.incisal_x, &s.samples.incisal_y, &s.samples.incisal_z})
    column->clear();
  s.samples.positions_kept = false;
  s.raw_positions.assign(s.raw_positions.size(), RawPositions{});
  return s;
}

std::string report_text(const Settings& v, const Evaluation& evaluation) {
  char* text = nullptr;
  std::size_t length = 0;
  std::FILE* out = open_memstream(&text, &length);
  if (out == nullptr) fail("open_memstream failed");
  write_report(out, v, evaluation);
  std::fclose(out);
  std::string result(text, length);
  std::free(text);
  return result;
}

// Each finding as a line of text, the measured value and limit exactly.
std::string finding_texts(const Evaluation& evaluation) {
  std::string texts;
  for (const Finding& f : evaluation.findings) {
    char numbers[128];
    std::snprintf(numbers, sizeof numbers, " %d %La %La ", f.experiment, f.value, f.limit);
    texts += rule_of(f.check).name + std::string(numbers) + f.channel + " " + f.message + "\n";
  }
  return texts;
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
  if (read_data(path, SampleDetail::study).status != ReadStatus::ok) fail("not read again");
  preprocessing_emg(v.rms_time, v.mvc_time, v.nl_time, v.emg_threshold);
  expect_same(expected_emg, take_snapshot(), "EMG conditioning");
  run_analysis_after_emg(v);
  const StoreSnapshot expected_run = take_snapshot();
  const std::string expected_report = report_text(v, evaluate(v.emg_threshold, v.dist_threshold));

  // 3. evaluate_file for each output, the data checks too (they see any input).
  const FileEvaluation pages = evaluate_file(path, v, Output::pages);
  if (!pages.ok()) fail("not read for pages");
  expect_same(expected_run, take_snapshot(), "the evaluation for pages");
  const FileEvaluation tables = evaluate_file(path, v, Output::tables);
  if (!tables.ok()) fail("not read for tables");
  expect_same(as_chew_eval_keeps(expected_run, true), as_chew_eval_keeps(take_snapshot(), true),
              "the evaluation for tables");
  if (finding_texts(tables.evaluation) != finding_texts(pages.evaluation))
    fail("the data checks differ between the evaluations for tables and for pages");
  const FileEvaluation file = evaluate_file(path, v, Output::report);
  if (!file.ok()) fail("not read as chew_eval reads it");
  expect_same(as_chew_eval_keeps(expected_run, false), as_chew_eval_keeps(take_snapshot(), false),
              "chew_eval's evaluation");
  for (const Evaluation* e : {&pages.evaluation, &tables.evaluation, &file.evaluation})
    if (report_text(v, *e) != expected_report) fail("a report differs from the whole run's");
  const ReportResult report = write_report_file(report_name(path), v, file.evaluation);
  if (!report.ok) fail("report not written: " + report.message);
  const std::string names = s.listing();
  if (names != " data data_output.txt" && names != " data_output.txt data")
    fail("the scratch folder holds:" + names);
  return 0;
}
