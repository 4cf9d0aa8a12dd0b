#include "report/output.h"

#include <sys/stat.h>

#include <cstring>

#include "io/safe_file.h"
#include "protocol/protocol.h"
#include "report/balance_tables.h"
#include "report/evaluation_table.h"
#include "report/experiment_table.h"
#include "report/index_tables.h"

std::string report_name(const char* path) {
  // Only the file's own name is cut: dots in folder names ("./", "../", "a.b/") must not move
  // the report away from its recording.
  const char* slash = std::strrchr(path, '/');
  const char* name = slash == nullptr ? path : slash + 1;
  return std::string(path, name) + std::string(name, std::strcspn(name, ".")) + "_output.txt";
}

bool report_is_data_file(const char* path) {
  struct stat data, report;
  if (stat(path, &data) != 0 || stat(report_name(path).c_str(), &report) != 0) return false;
  return data.st_dev == report.st_dev && data.st_ino == report.st_ino;
}

void write_summary(std::FILE* out, const Settings& settings, const Evaluation& evaluation) {
  const Evaluation& e = evaluation;
  const RecordingHeader& h = e.header;
  const SummaryFigures& f = e.summary_figures;
  std::fprintf(out, "Version                               : %s\n", kVersion);
  std::fprintf(out, "Person                                : %s", h.person.c_str());
  std::fprintf(out, "Sex                                   : %s", h.sex.c_str());
  std::fprintf(out, "Born                                  : %s", h.born.c_str());
  std::fprintf(out, "Creation                              : %s", h.creation.c_str());
  std::fprintf(out, "Frequency                             : %s", h.frequency.c_str());
  std::fprintf(out, "Number of entries / type              : %d/%d\n", e.no_entries,
               e.calibration_type);
  std::fprintf(out, "Number of experiments                 : %d\n", e.no_tracks);
  std::fprintf(out, "Time span, RMS Glaettung              : %lld ms\n", settings.rms_time);
  std::fprintf(out, "Time span, MVC computation            : %lld ms\n", settings.mvc_time);
  std::fprintf(out, "Time span, noise level computation    : %lld ms\n", settings.nl_time);
  std::fprintf(out, "MVC (M. masseter right/left)          : %.2Lf uV / %.2Lf uV\n", e.run_mvc[0],
               e.run_mvc[1]);
  std::fprintf(out, "MVC (M. temporalsis right/left)       : %.2Lf uV / %.2Lf uV\n", e.run_mvc[2],
               e.run_mvc[3]);
  std::fprintf(out, "NL (M. masseter right/left)           : %.2Lf uV %.2Lf uV\n", e.run_nl[0],
               e.run_nl[1]);
  std::fprintf(out, "NL (M. temporalis right/left)         : %.2Lf uV %.2Lf uV\n", e.run_nl[2],
               e.run_nl[3]);
  std::fprintf(out, "Maximal distanze right/left/incisal   : %.2Lf mm / %.2Lf mm / %.2Lf mm \n",
               e.right_max, e.left_max, e.incisal_max);
  std::fprintf(out, "Distance threshold, cycle recognition : %.2Lf mm (= %.0Lf%%)\n",
               settings.dist_threshold, f.threshold_share);
  std::fprintf(out,
               "EMG threshold, active phase           : %.0Lf%% (= %.2LfuV  %.2LfuV %.2LfuV  "
               "%.2LfuV)\n",
               f.emg_threshold_percent, f.threshold_level[0], f.threshold_level[1],
               f.threshold_level[2], f.threshold_level[3]);
  std::fprintf(out, "\n");
}

void write_report(std::FILE* out, const Settings& settings, const Evaluation& evaluation) {
  write_summary(out, settings, evaluation);
  write_experiment_table(out, evaluation);
  write_balance_tables(out, evaluation.balances);
  write_evaluation_table(out, evaluation.evaluation_table);
  write_index_tables(out, evaluation.indices);
}

namespace {

std::string failure(const char* what, const std::string& name, int error) {
  return std::string(what) + " '" + name + "': " + std::strerror(error);
}

}  // namespace

ReportResult write_report_file(const std::string& name, const Settings& settings,
                               const Evaluation& evaluation) {
  SafeFile file(name);
  if (!file.opened()) return {false, failure("cannot create report", name, file.open_error())};
  write_report(file.stream(), settings, evaluation);
  if (const int error = file.commit()) return {false, failure("cannot write report", name, error)};
  return {};
}
