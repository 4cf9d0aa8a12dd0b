#include "report/experiment_table.h"

#include "recording/store.h"

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
    const Track& t = tracks[k];
    const long double masseter_balance = evaluation.experiments[k].masseter_balance;
    const long double temporalis_balance = evaluation.experiments[k].temporalis_balance;
    std::fprintf(out, kRow, k + 1, t.no_chewing_cycles, t.first_entry, t.last_entry, t.Right_max,
                 t.Left_max, t.Incisal_max,                                     // mm
                 t.Channel1_mvc, t.Channel1_nl, t.Channel2_mvc, t.Channel2_nl,  // masseters, uV
                 t.Channel3_mvc, t.Channel3_nl, t.Channel4_mvc, t.Channel4_nl,  // temporales, uV
                 t.Channel1_work / 1000, t.Channel2_work / 1000, masseter_balance,  // uVs, %
                 t.Channel3_work / 1000, t.Channel4_work / 1000, temporalis_balance);
  }
  std::fprintf(out, "\n");
}
