#include "study/evaluate.h"

#include <cstring>

#include "recording/read_data.h"
#include "recording/store.h"
#include "report/evaluation_table.h"
#include "report/output.h"
#include "run/run.h"
#include "study/check_page.h"
#include "study/tables.h"

namespace {

// chew_eval's messages for a recording it cannot evaluate.
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
  }
  return "";
}

}  // namespace

RecordingTables evaluate_recording(const Recording& recording, const RunSettings& s,
                                   const std::string& out, bool pages) {
  RecordingTables tables;
  reset_store();
  const ReadResult read = read_data(recording.path.c_str());
  RunFacts facts = read_facts(recording.path, read.skipped_lines);
  // A file that could not be read at all has no counts.
  facts.read = read.status != ReadStatus::cannot_open && read.status != ReadStatus::read_error;
  if (read.status != ReadStatus::ok) {
    facts.status = tables.status = read_failure(read, recording.path);
    tables.runs = run_row(facts, s);
    return tables;
  }
  run_analysis(s);
  const ReportResult report =
      write_report_file(in_folder(out, recording.report), s.rms_time, s.mvc_time, s.nl_time,
                        s.emg_threshold, s.dist_threshold);
  if (!report.ok) {
    facts.status = tables.status = report.message;
    tables.runs = run_row(facts, s);
    return tables;
  }
  if (pages) {
    const std::string page_error =
        write_check_page(in_folder(out, check_page_name(recording.report)), recording.path, s);
    if (!page_error.empty()) {
      facts.status = tables.status = page_error;
      tables.runs = run_row(facts, s);
      return tables;
    }
  }
  const MvcCycleWork mvc_cycle_work = build_mvc_cycle_work(s.dist_threshold);
  tables.ok = true;
  facts.status = tables.status = "ok";
  facts.report = recording.report;
  tables.experiments = experiment_rows(recording.path, mvc_cycle_work);
  tables.indices = index_rows(recording.path, mvc_cycle_work);
  tables.cycles = cycle_rows(recording.path, s.dist_threshold);
  tables.runs = run_row(facts, s);
  return tables;
}

RecordingTables failed_recording(const Recording& recording, const RunSettings& s,
                                 const std::string& message) {
  RecordingTables tables;
  tables.status = message;
  RunFacts facts;
  facts.file = recording.path;
  facts.status = message;
  tables.runs = run_row(facts, s);
  return tables;
}
