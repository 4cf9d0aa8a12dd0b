#include "report/index_tables.h"

#include "protocol/protocol.h"

namespace {

// First table: indices of the masseters (three columns) and the temporales (three, or two).
constexpr char kMuscleHeader[] =
    "Table                     | M. masseter                                                     "
    "| M. temporalis\n";
constexpr char kMuscleDashes[] =
    "--------------------------+---------------------+---------------------+---------------------"
    "+---------------------+---------------------+---------------------\n";
constexpr char kRow1[] =
    "1 mikroVolt_AI  (%%)       | asindex_fk %8.1Lf | asindex_rk   %6.1Lf | asindex_lk   %6.1Lf "
    "| asindex_fk %8.1Lf | asindex_rk %8.1Lf | asindex_lk %8.1Lf\n";
constexpr char kRow2[] =
    "2 mikroVolt_DCI (%%)       |                     | massindex_re %6.1Lf | massindex_li %6.1Lf "
    "|                     | massindex_re %6.1Lf | massindex_li %6.1Lf\n";
constexpr char kRow3[] =
    "3 mikroVolt_MVC           |                     | mvc_re %12.2Lf | mvc_li %12.2Lf |         "
    "            | mvc_li %12.2Lf | mvc_li %12.2Lf\n";
constexpr char kRow4[] =
    "4 mikroVolt_MuscleWork_re | rm_fk %13.1Lf | rm_rk %13.1Lf | rm_lk %13.1Lf | rm_fk %13.1Lf | "
    "rm_rk %13.1Lf | rm_lk %13.1Lf\n";
constexpr char kRow5[] =
    "5 mikroVolt_MuscleWork_li | lm_fk %13.1Lf | lm_rk %13.1Lf | lm_lk %13.1Lf | lm_fk %13.1Lf | "
    "lm_rk %13.1Lf | lm_lk %13.1Lf\n";
constexpr char kRow6[] =
    "6 MVCbased_AI             | asindex_fkmvc %5.1Lf | asindex_rlmvc %5.1Lf | asindex_lkmvc "
    "%5.1Lf "
    "| asindex_fkmvc %5.1Lf | asindex_rlmvc %5.1Lf | asindex_lkmvc %5.1Lf\n";
constexpr char kRow7[] =
    "7 MVCbased_MuscleWork_re  | rm_fkmvc %10.1Lf | rm_rkmvs %10.1Lf | rm_lkmvc %10.1Lf | rt_fkmvc "
    "%10.1Lf | rt_rkmvc %10.1Lf | rt_lkmvc %10.1Lf\n";
constexpr char kRow8[] =
    "8 MVCbased_Musclework_li  | lm_fkmvc %10.1Lf | lm_rkmvs %10.1Lf | lm_lkmvc %10.1Lf | lt_fkmvc "
    "%10.1Lf | lt_rkmvc %10.1Lf | lt_lkmvc %10.1Lf\n";

// Second table: one column per chewing condition.
constexpr char kConditionHeader[] =
    "Table              | free chewing   | right chewing  | left chewing\n";
constexpr char kConditionDashes[] =
    "-------------------+----------------+----------------+----------------\n";
constexpr char kRow9[] = " 9 AnzahlKauzyklen | akz_m1 %7.1Lf | akz_m2 %7.1Lf | akz_m3 %7.1Lf\n";
constexpr char kRow10[] =
    "10 DauerKausequenz | dauer_m1 %5.2Lf | dauer_m2 %5.2Lf | dauer_m3 %5.2Lf\n";
constexpr char kRow11[] = "11 Kaufrequenz     | fre_m1 %7.3Lf | fre_m2 %7.3Lf | fre_m3 %7.3Lf\n";

}  // namespace

void write_index_tables(std::FILE* out, const IndexValues& values) {
  const auto& r = values.row;
  std::fprintf(out, kMuscleHeader);
  std::fprintf(out, kMuscleDashes);
  std::fprintf(out, kRow1, r[kAsymmetryRow][0], r[kAsymmetryRow][1], r[kAsymmetryRow][2],
               r[kAsymmetryRow][3], r[kAsymmetryRow][4], r[kAsymmetryRow][5]);
  std::fprintf(out, kRow2, r[kChewingSideRow][0], r[kChewingSideRow][1], r[kChewingSideRow][2],
               r[kChewingSideRow][3]);
  std::fprintf(out, kRow3, r[kMvcRow][0], r[kMvcRow][1], r[kMvcRow][2], r[kMvcRow][3]);
  std::fprintf(out, kRow4, r[kRightWorkRow][0], r[kRightWorkRow][1], r[kRightWorkRow][2],
               r[kRightWorkRow][3], r[kRightWorkRow][4], r[kRightWorkRow][5]);
  std::fprintf(out, kRow5, r[kLeftWorkRow][0], r[kLeftWorkRow][1], r[kLeftWorkRow][2],
               r[kLeftWorkRow][3], r[kLeftWorkRow][4], r[kLeftWorkRow][5]);
  std::fprintf(out, kRow6, r[kMvcAsymmetryRow][0], r[kMvcAsymmetryRow][1], r[kMvcAsymmetryRow][2],
               r[kMvcAsymmetryRow][3], r[kMvcAsymmetryRow][4], r[kMvcAsymmetryRow][5]);
  std::fprintf(out, kRow7, r[kMvcRightWorkRow][0], r[kMvcRightWorkRow][1], r[kMvcRightWorkRow][2],
               r[kMvcRightWorkRow][3], r[kMvcRightWorkRow][4], r[kMvcRightWorkRow][5]);
  std::fprintf(out, kRow8, r[kMvcLeftWorkRow][0], r[kMvcLeftWorkRow][1], r[kMvcLeftWorkRow][2],
               r[kMvcLeftWorkRow][3], r[kMvcLeftWorkRow][4], r[kMvcLeftWorkRow][5]);
  std::fprintf(out, "\n");
  std::fprintf(out, kConditionHeader);
  std::fprintf(out, kConditionDashes);
  std::fprintf(out, kRow9, r[kCycleCountRow][FK], r[kCycleCountRow][RK], r[kCycleCountRow][LK]);
  std::fprintf(out, kRow10, r[kDurationRow][FK], r[kDurationRow][RK], r[kDurationRow][LK]);
  std::fprintf(out, kRow11, r[kFrequencyRow][FK], r[kFrequencyRow][RK], r[kFrequencyRow][LK]);
  std::fprintf(out, "\n");
}
