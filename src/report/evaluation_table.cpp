#include "report/evaluation_table.h"

namespace {

constexpr char kTitle[] = "Evaluation tables according to Talvorsen\n\n";

// Header, formats without arguments; the dashes line closes the rows as well.
constexpr char kHeader1[] =
    "C duration F  |      RM |      LM | RM+LM |(RM-LM)/| std. |  balance | trend           |   "
    "a/  b  \n";
constexpr char kHeader2[] =
    "   sec   Hz   |         |         |       | (RM+LM)| dev. |  r/m/l   | 1/4 1/4 1/4 1/4 |   "
    "       \n";
constexpr char kDashes[] =
    "--------------|---------+---------+-------+--------+------+----------+-----------------+-----"
    "-----\n";
constexpr char kRow[] =
    "%2d %5.2Lf %4.2Lf | %7.0Lf | %7.0Lf | %5.0Lf | %+4.0Lf %% | %3.0LF%% | %2d/%2d/%2d | "
    "%3.0Lf/%3.0Lf/%3.0Lf/%3.0Lf | %3.0Lf/%3.0Lf\n";
constexpr char kSummary[] =
    "              |  %+4.0Lf %% |  %+4.0Lf %% |       |        |      |          |          "
    "       |\n";

}  // namespace

void write_evaluation_table(std::FILE* out, const EvaluationTable& table) {
  std::fprintf(out, kTitle);
  std::fprintf(out, kHeader1);
  std::fprintf(out, kHeader2);
  std::fprintf(out, kDashes);
  for (const EvaluationTableRow& row : table.rows) {
    const long double zero = 0;
    std::fprintf(out, kRow, 0, zero, zero,  // cycles, duration (s), frequency (Hz)
                 row.rm, row.lm, row.sum,   // RM, LM, RM+LM
                 row.asymmetry,             // (RM-LM)/(RM+LM), %
                 zero,                      // std. dev., %
                 0, 0, 0,                   // balance r/m/l
                 zero, zero, zero, zero,    // trend, one per quarter
                 zero, zero);               // a/b
  }
  std::fprintf(out, kDashes);
  std::fprintf(out, kSummary, table.rm_balance, table.lm_balance);
  std::fprintf(out, "\n");
}
