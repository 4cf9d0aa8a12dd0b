#include "study/study.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "io/safe_file.h"
#include "io/signals.h"
#include "recording/store.h"
#include "study/check_page.h"
#include "study/console.h"
#include "study/evaluate.h"
#include "study/inputs.h"
#include "study/merge.h"
#include "study/output_folder.h"
#include "study/overview.h"
#include "study/pool.h"
#include "study/study_options.h"
#include "study/tables.h"

namespace {

constexpr char kProgram[] = "chew_study";
// Said of a run that failed before its commit.
// The overview's name in the output folder (write_overview_page).
constexpr char kOverviewPage[] = "index.html";
constexpr char kNothingInPlace[] = "; nothing put in place, the earlier run's files stand";

void complain(const std::string& message) {
  std::fprintf(stderr, "%s: %s\n", kProgram, printable(message).c_str());
}

// One table, written into the run's stage through a temporary file renamed there when complete.
class TableFile {
 public:
  TableFile(const std::string& folder, const std::string& name) : file_(in_folder(folder, name)) {}

  // Why the table cannot be written at all; empty when it can.
  std::string unwritable() const { return file_.opened() ? "" : message(file_.open_error()); }

  void write(const std::string& text) { file_.write(text); }

  // Puts the table in place; an empty text when it is, else why not.
  std::string finish() {
    const int error = file_.commit();
    return error == 0 ? "" : message(error);
  }

 private:
  std::string message(int error) const {
    return "cannot write table '" + file_.target() + "': " + std::strerror(error);
  }
  SafeFile file_;
};

// ", 1 error, 2 warnings" after a recording's status; empty without findings.
std::string finding_counts(const RecordingTables& t) {
  std::string s;
  if (t.errors > 0) s += ", " + std::to_string(t.errors) + (t.errors == 1 ? " error" : " errors");
  if (t.warnings > 0)
    s += ", " + std::to_string(t.warnings) + (t.warnings == 1 ? " warning" : " warnings");
  return s;
}

// --list: the recordings' paths as the tables' file column has them, each ended by a line end or
// a NUL. 0, or 1 when standard output could not take them.
int print_list(const std::vector<Recording>& recordings, bool nul_ends) {
  for (const Recording& r : recordings) {
    std::fwrite(r.path.data(), 1, r.path.size(), stdout);
    std::fputc(nul_ends ? '\0' : '\n', stdout);
  }
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    complain(std::string("cannot write the list: ") + std::strerror(errno));
    return 1;
  }
  return 0;
}

// The whole program but for running out of memory outside a recording's evaluation.
int run_study(int argc, const char* const* argv) {
  if (argc > 1 && std::strcmp(argv[1], "merge") == 0) return merge_parts_main(argc - 1, argv + 1);
  const ParsedStudyOptions parsed = parse_study_options(argc, argv);
  if (!parsed.error.empty()) {
    complain(parsed.error);
    return 2;
  }
  const StudyOptions& o = parsed.options;
  if (o.version) {
    print_study_version(stdout);
    return 0;
  }
  if (o.help) {
    print_study_help(stdout);
    return 0;
  }
  if (o.inputs.empty()) {
    complain("no recordings given (see --help)");
    return 2;
  }
  Selection selection;
  selection.recursive = o.recursive;
  selection.out = o.out;
  selection.base = o.base;
  const Expansion expansion = expand_inputs(o.inputs, selection);
  if (!expansion.error.empty()) {
    complain(expansion.error);
    return 2;
  }
  for (const std::string& warning : expansion.warnings) complain("warning: " + warning);
  const std::vector<Recording>& recordings = expansion.recordings;
  if (o.list) return print_list(recordings, o.nul_ends);
  if (recordings.empty()) {
    complain("no recordings to evaluate");
    return 2;
  }
  const std::vector<std::string> conflicts = report_conflicts(recordings, o.out);
  if (!conflicts.empty()) {
    for (const std::string& conflict : conflicts) complain(conflict);
    complain("nothing evaluated: every recording needs a report name of its own");
    return 2;
  }
  OutputFolder folder(o.out);
  if (!folder.error().empty()) {
    complain(folder.error() + "; nothing evaluated");
    return folder.in_use() ? 2 : 1;
  }
  // The folders of the reports that keep their recordings' places.
  std::vector<std::string> subfolders;
  for (const Recording& r : recordings) {
    const std::size_t slash = r.report.rfind('/');
    if (slash != std::string::npos) subfolders.push_back(r.report.substr(0, slash));
  }
  if (const std::string error = folder.stage(subfolders); !error.empty()) {
    complain(error + "; nothing evaluated");
    return 1;
  }

  TableFile experiments(o.out, kExperimentsTable), indices(o.out, kIndicesTable),
      cycles(o.out, kCyclesTable), strokes(o.out, kStrokesTable), trials(o.out, kTrialsTable),
      movements(o.out, kMovementsTable), clenches(o.out, kClenchesTable), runs(o.out, kRunsTable),
      findings(o.out, kFindingsTable);
  TableFile* const tables[] = {&experiments, &indices,  &cycles, &strokes, &trials,
                               &movements,   &clenches, &runs,   &findings};
  for (const TableFile* table : tables) {
    if (!table->unwritable().empty()) {
      complain(table->unwritable());
      return 1;
    }
  }
  experiments.write(experiments_header());
  indices.write(indices_header());
  cycles.write(cycles_header());
  strokes.write(strokes_header());
  runs.write(runs_header());
  findings.write(findings_header());
  trials.write(trials_header());
  movements.write(movements_header());
  clenches.write(clenches_header());

  // Each report's place in the stage as it was before the study (empty), so that a recording
  // whose worker ended after putting its report there still has it named in runs.csv.
  std::vector<FileStamp> earlier_reports;
  for (const Recording& recording : recordings)
    earlier_reports.push_back(file_stamp(folder.staged(recording.report)));

  std::size_t done = 0, failed = 0, with_errors = 0;
  PoolWork work;
  work.evaluate = [&](std::size_t i) {
    return evaluate_recording(recordings[i], o.settings, o.given, o.out, o.pages);
  };
  work.failed = [&](std::size_t i, const std::string& message) {
    return failed_recording(recordings[i], o.settings, o.given, message,
                            written_since(earlier_reports[i], folder.staged(recordings[i].report)));
  };
  work.finished = [&](std::size_t i, const RecordingTables& t) {
    ++done;
    if (!t.ok) ++failed;
    if (t.errors > 0) ++with_errors;
    if (!o.quiet) {
      std::fprintf(stderr, "[%zu/%zu] %s ... %s%s%s\n", done, recordings.size(),
                   printable(recordings[i].path).c_str(),
                   t.ok ? "" : "failed: ", printable(t.status).c_str(), finding_counts(t).c_str());
    }
  };
  std::vector<OverviewRow> overview;
  work.in_order = [&](std::size_t i, const RecordingTables& t) {
    if (o.pages) overview.push_back(overview_row(recordings[i], t));
    experiments.write(t.experiments);
    indices.write(t.indices);
    cycles.write(t.cycles);
    strokes.write(t.strokes);
    runs.write(t.runs);
    findings.write(t.findings);
    trials.write(t.trials);
    movements.write(t.movements);
    clenches.write(t.clenches);
  };
  const std::string pool_error = run_pool(recordings.size(), o.jobs, folder.books(), work);
  if (!pool_error.empty()) {
    complain(pool_error + kNothingInPlace);
    return 1;
  }

  // The run's files, in the order they are put in place: the reports and pages the recordings
  // have, the overview, the tables.
  std::vector<RunFile> files;
  for (const Recording& r : recordings) {
    std::vector<std::string> own = {r.report};
    if (o.pages) own.push_back(check_page_name(r.report));
    for (const std::string& path : own)
      if (file_stamp(folder.staged(path)).exists) files.push_back({path, false});
  }
  int status = 0;
  if (o.pages) {
    const std::string error = write_overview_page(o.out, overview, o.settings);
    if (!error.empty()) {
      complain(error + kNothingInPlace);
      return 1;
    }
    files.push_back({kOverviewPage, false});
  }
  for (TableFile* table : tables) {
    if (const std::string error = table->finish(); !error.empty()) {
      complain(error + kNothingInPlace);
      status = 1;
    }
  }
  if (status != 0) return status;
  for (const char* table : kTables) files.push_back({table, true});
  const OutputFolder::Outcome put = folder.commit(files);
  for (const std::string& warning : put.warnings) complain("warning: " + warning);
  if (!put.error.empty()) {
    complain(put.error);
    return 1;
  }
  if (failed > 0) {
    complain(std::to_string(failed) + " of " + std::to_string(recordings.size()) +
             " recordings failed (see runs.csv)");
    status = 1;
  }
  if (with_errors > 0 && o.strict) {
    complain(std::to_string(with_errors) + " of " + std::to_string(recordings.size()) +
             " recordings have error findings (--strict; see findings.csv)");
    status = 1;
  }
  return status;
}

}  // namespace

int chew_study_main(int argc, const char* const* argv) {
  stop_study_on_signals();
  try {
    return run_study(argc, argv);
  } catch (const std::bad_alloc&) {
  }
  // A recording that runs out of memory fails alone (evaluate_recording); this is the study
  // itself. Unwound, its temporary tables are removed and an earlier study's tables stand; its
  // workers are stopped and its scratch folder removed.
  release_store();
  stop_workers();
  std::fputs("chew_study: out of memory\n", stderr);
  return 1;
}
