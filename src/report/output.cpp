#include "report/output.h"

#include <sys/stat.h>

#include <cstring>

#include "io/safe_file.h"
#include "protocol/protocol.h"
#include "recording/store.h"
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

void write_summary(std::FILE* out, long long rms_time, long long mvc_time, long long nl_time,
                   long double emg_threshold, long double dist_threshold) {
  std::fprintf(out, "Version                               : %s\n", kVersion);
  std::fprintf(out, "Person                                : %s", person);
  std::fprintf(out, "Sex                                   : %s", sex);
  std::fprintf(out, "Born                                  : %s", born);
  std::fprintf(out, "Creation                              : %s", creation);
  std::fprintf(out, "Frequency                             : %s", frequency);
  std::fprintf(out, "Number of entries / type              : %d/%d\n", no_entries,
               calibration.type);
  std::fprintf(out, "Number of experiments                 : %d\n", no_tracks);
  std::fprintf(out, "Time span, RMS Glaettung              : %lld ms\n", rms_time);
  std::fprintf(out, "Time span, MVC computation            : %lld ms\n", mvc_time);
  std::fprintf(out, "Time span, noise level computation    : %lld ms\n", nl_time);
  std::fprintf(out, "MVC (M. masseter right/left)          : %.2Lf uV / %.2Lf uV\n", Channel1_mvc,
               Channel2_mvc);
  std::fprintf(out, "MVC (M. temporalsis right/left)       : %.2Lf uV / %.2Lf uV\n", Channel3_mvc,
               Channel4_mvc);
  std::fprintf(out, "NL (M. masseter right/left)           : %.2Lf uV %.2Lf uV\n", Channel1_nl,
               Channel2_nl);
  std::fprintf(out, "NL (M. temporalis right/left)         : %.2Lf uV %.2Lf uV\n", Channel3_nl,
               Channel4_nl);
  std::fprintf(out, "Maximal distanze right/left/incisal   : %.2Lf mm / %.2Lf mm / %.2Lf mm \n",
               Right_max, Left_max, Incisal_max);
  std::fprintf(out, "Distance threshold, cycle recognition : %.2Lf mm (= %.0Lf%%)\n",
               dist_threshold, (dist_threshold * 100) / Incisal_max);
  std::fprintf(out,
               "EMG threshold, active phase           : %.0Lf%% (= %.2LfuV  %.2LfuV %.2LfuV  "
               "%.2LfuV)\n",
               emg_threshold * 100, emg_threshold * Channel1_mvc, emg_threshold * Channel2_mvc,
               emg_threshold * Channel3_mvc, emg_threshold * Channel4_mvc);
  std::fprintf(out, "\n");
}

void write_report(std::FILE* out, long long rms_time, long long mvc_time, long long nl_time,
                  long double emg_threshold, long double dist_threshold,
                  const Evaluation& evaluation) {
  write_summary(out, rms_time, mvc_time, nl_time, emg_threshold, dist_threshold);
  write_experiment_table(out, evaluation);
  write_balance_tables(out);
  write_evaluation_table(out, evaluation.mvc_cycle_work);
  write_index_tables(out, evaluation.indices);
}

namespace {

std::string failure(const char* what, const std::string& name, int error) {
  return std::string(what) + " '" + name + "': " + std::strerror(error);
}

}  // namespace

ReportResult output_header(const char* path, long long rms_time, long long mvc_time,
                           long long nl_time, long double emg_threshold,
                           long double dist_threshold) {
  return write_report_file(report_name(path), rms_time, mvc_time, nl_time, emg_threshold,
                           dist_threshold, evaluate(emg_threshold));
}

ReportResult write_report_file(const std::string& name, long long rms_time, long long mvc_time,
                               long long nl_time, long double emg_threshold,
                               long double dist_threshold, const Evaluation& evaluation) {
  SafeFile file(name);
  if (!file.opened()) return {false, failure("cannot create report", name, file.open_error())};
  write_report(file.stream(), rms_time, mvc_time, nl_time, emg_threshold, dist_threshold,
               evaluation);
  if (const int error = file.commit()) return {false, failure("cannot write report", name, error)};
  return {};
}
