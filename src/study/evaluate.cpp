#include "study/evaluate.h"

#include "analysis/checks.h"
#include "analysis/evaluation.h"
#include "analysis/sample_view.h"
#include "recording/read_data.h"
#include "recording/store.h"
#include "report/output.h"
#include "run/run.h"
#include "study/check_page.h"
#include "study/overview.h"
#include "study/tables.h"

namespace {

// Facts of the recording in the store, as the reader left it.
RunFacts read_facts(const std::string& file, int skipped_lines) {
  RunFacts facts;
  facts.file = file;
  facts.read = true;
  facts.samples = no_entries;
  facts.experiments = no_tracks;
  facts.calibration_type = calibration.type;
  facts.skipped_lines = skipped_lines;
  facts.sampling_rate = sampling_rate();
  facts.form = recording_form();
  return facts;
}

}  // namespace

RecordingTables evaluate_recording(const Recording& recording, const Settings& s,
                                   const std::string& out, bool pages) {
  RecordingTables tables;
  reset_store();
  const ReadResult read = read_data(recording.path.c_str(), SampleDetail::study);
  RunFacts facts = read_facts(recording.path, read.skipped_lines);
  // A file that could not be read at all has no counts.
  facts.read = read.status != ReadStatus::cannot_open && read.status != ReadStatus::read_error &&
               read.status != ReadStatus::not_regular_file;
  if (read.status != ReadStatus::ok) {
    facts.status = tables.status = read_failure(read, recording.path);
    tables.runs = run_row(facts, s);
    return tables;
  }
  // The stages overwrite raw values in place: what the checks need of them is taken first.
  const RawFacts raw = raw_facts(read);
  run_analysis(s);
  const Evaluation evaluation = evaluate(s.emg_threshold, raw);
  const ReportResult report =
      write_report_file(in_folder(out, recording.report), s.rms_time, s.mvc_time, s.nl_time,
                        s.emg_threshold, s.dist_threshold, evaluation);
  if (!report.ok) {
    facts.status = tables.status = report.message;
    tables.runs = run_row(facts, s);
    return tables;
  }
  facts.report = recording.report;  // the report is in place, whatever follows
  if (pages) {
    const std::string page_error =
        write_check_page(in_folder(out, check_page_name(recording.report)), recording.path, s,
                         evaluation, sample_view());
    if (!page_error.empty()) {
      facts.status = tables.status = page_error;
      tables.runs = run_row(facts, s);
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
  tables.runs = run_row(facts, s);
  tables.findings = finding_rows(recording.path, evaluation.findings);
  tables.trials = trial_rows(recording.path, evaluation);
  tables.key_figures = key_values_text(key_values(evaluation));
  return tables;
}

RecordingTables failed_recording(const Recording& recording, const Settings& s,
                                 const std::string& message) {
  RecordingTables tables;
  tables.status = message;
  RunFacts facts;
  facts.file = recording.path;
  facts.status = message;
  tables.runs = run_row(facts, s);
  return tables;
}
