#include "study/evaluate.h"

#include <sys/stat.h>

#include <new>

#include "analysis/checks.h"
#include "analysis/evaluation.h"
#include "analysis/sample_view.h"
#include "pipeline/pipeline.h"
#include "recording/store.h"
#include "report/output.h"
#include "study/check_page.h"
#include "study/overview.h"
#include "study/tables.h"

namespace {

// The evaluation proper; `report_written` is set as soon as the report is in place.
RecordingTables evaluate_and_write(const Recording& recording, const Settings& s,
                                   const GivenSettings& given, const std::string& out, bool pages,
                                   bool& report_written) {
  RecordingTables tables;
  const LabProtocol& protocol = given.protocol;
  std::uint32_t clenches = 0;
  for (int k = 0; k < kMaxTracks; ++k)
    if (is_clench(protocol.role[k])) clenches |= 1u << k;
  FileEvaluation file =
      evaluate_file(recording.path.c_str(), s, pages ? Output::pages : Output::tables, clenches);
  const ReadResult& read = file.read;
  RunFacts facts;
  facts.file = recording.path;
  facts.samples = file.counts.samples;
  facts.experiments = file.counts.experiments;
  facts.calibration_type = file.counts.calibration_type;
  facts.skipped_lines = read.skipped_lines;
  facts.sampling_rate = file.counts.sampling_rate;
  facts.form = file.counts.form;
  // A file that could not be read at all has no counts.
  facts.read = read.status != ReadStatus::cannot_open && read.status != ReadStatus::read_error &&
               read.status != ReadStatus::not_regular_file;
  if (!file.ok()) {
    facts.status = tables.status = file.failure;
    tables.runs = run_row(facts, s, given);
    return tables;
  }
  if (file.counts.samples == 0) {  // e.g. a three-point file without its calibration line
    const long long skipped = read.skipped_lines;
    facts.status = tables.status = "no sample read (" + std::to_string(skipped) +
                                   (skipped == 1 ? " line" : " lines") + " skipped)";
    tables.runs = run_row(facts, s, given);
    return tables;
  }
  Evaluation& evaluation = file.evaluation;
  evaluation.movements = measure_movements(evaluation.frame, protocol, evaluation.no_experiments);
  evaluation.clenches = measure_clenches(evaluation.clench_windows, protocol, evaluation.form,
                                         evaluation.no_experiments);
  add_protocol_findings(protocol, evaluation.no_experiments, evaluation.findings);
  const ReportResult report = write_report_file(in_folder(out, recording.report), s, evaluation);
  if (!report.ok) {
    facts.status = tables.status = report.message;
    tables.runs = run_row(facts, s, given);
    return tables;
  }
  facts.report = recording.report;  // the report is in place, whatever follows
  report_written = true;
  if (pages) {
    const std::string page_error =
        write_check_page(in_folder(out, check_page_name(recording.report)), recording.path, s,
                         evaluation, sample_view(), protocol);
    if (!page_error.empty()) {
      facts.status = tables.status = page_error;
      tables.runs = run_row(facts, s, given);
      return tables;
    }
  }
  tables.ok = true;
  facts.status = tables.status = "ok";
  for (const Finding& finding : evaluation.findings)
    ++(rule_of(finding.check).severity == Severity::error ? tables.errors : tables.warnings);
  facts.checked = true;
  facts.warnings = tables.warnings;
  facts.errors = tables.errors;
  tables.experiments = experiment_rows(recording.path, evaluation);
  tables.indices = index_rows(recording.path, evaluation.indices, evaluation.form);
  tables.cycles = cycle_rows(recording.path, evaluation);
  tables.strokes = stroke_rows(recording.path, evaluation);
  tables.movements = movement_rows(recording.path, evaluation, protocol);
  tables.clenches = clench_rows(recording.path, evaluation, protocol);
  tables.runs = run_row(facts, s, given);
  tables.findings = finding_rows(recording.path, evaluation.findings);
  tables.trials = trial_rows(recording.path, evaluation);
  tables.key_figures = key_values_text(key_values(evaluation, protocol));
  return tables;
}

}  // namespace

RecordingTables evaluate_recording(const Recording& recording, const Settings& s,
                                   const GivenSettings& given, const std::string& out, bool pages) {
  bool report_written = false;
  try {
    return evaluate_and_write(recording, s, given, out, pages, report_written);
  } catch (const std::bad_alloc&) {
  }
  // Unwound, the evaluation's memory is free and its temporary files are removed; the store's
  // room, grown for this recording, is given back too, so the next one starts with the memory
  // this one had.
  release_store();
  return failed_recording(recording, s, given, kOutOfMemory, report_written);
}

RecordingTables failed_recording(const Recording& recording, const Settings& s,
                                 const GivenSettings& given, const std::string& message,
                                 bool report_written) {
  RecordingTables tables;
  tables.status = message;
  RunFacts facts;
  facts.file = recording.path;
  facts.status = message;
  if (report_written) facts.report = recording.report;
  tables.runs = run_row(facts, s, given);
  return tables;
}

FileStamp file_stamp(const std::string& path) {
  struct stat info;
  if (lstat(path.c_str(), &info) != 0) return {};
  return {true, info.st_dev, info.st_ino};
}

bool written_since(const FileStamp& before, const std::string& path) {
  const FileStamp now = file_stamp(path);
  return now.exists && (!before.exists || now.device != before.device || now.inode != before.inode);
}
