#include "report/experiment_table.h"

namespace {

// Header lines, each written as a format without arguments ("%%" prints one per-cent sign).
constexpr char kHeader1[] =
    "Exp. | C. | First    Last |  max distance (mm)   |    MVC / noise  (uV)         |    MVC / "
    "noise (uV)          | work uVs  |       | work uVs  |       \n";
constexpr char kHeader2[] =
    "     |    |               |  right  left  incis. | right          left          | right    "
    "      left          | r.   l.   |     %% | r.   l.   |     %%\n";
constexpr char kHeader3[] =
    "-----+----+---------------+----------------------+------------------------------+----------"
    "--------------------+-----------+-------+-----------+-------\n";
constexpr char kRow[] =
    "%4d | %2d | %6d %6d | %6.2Lf %6.2Lf %6.2Lf | %6.2Lf/%6.2Lf  %6.2Lf/%6.2Lf | %6.2Lf/%6.2Lf  "
    "%6.2Lf/%6.2Lf | %4.0Lf %4.0Lf | %3.0Lf %% | %4.0Lf %4.0Lf | %3.0Lf %%\n";

}  // namespace

void write_experiment_table(std::FILE* out, const Evaluation& evaluation) {
  std::fprintf(out, kHeader1);
  std::fprintf(out, kHeader2);
  std::fprintf(out, kHeader3);
  for (int k = 0; k < evaluation.no_experiments; ++k) {
    const ExperimentEvaluation& x = evaluation.experiments[k];
    std::fprintf(out, kRow, k + 1, x.chewing_cycles, x.first_sample, x.last_sample, x.right_max,
                 x.left_max, x.incisal_max,                            // mm
                 x.mvc[0], x.nl[0], x.mvc[1], x.nl[1],                 // masseters, uV
                 x.mvc[2], x.nl[2], x.mvc[3], x.nl[3],                 // temporales, uV
                 x.work_uvs[0], x.work_uvs[1], x.masseter_balance,     // uVs, %
                 x.work_uvs[2], x.work_uvs[3], x.temporalis_balance);  // uVs, %
  }
  std::fprintf(out, "\n");
}
