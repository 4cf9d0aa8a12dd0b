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
  std::fprintf(out, kRow1, r[1][0], r[1][1], r[1][2], r[1][3], r[1][4], r[1][5]);
  std::fprintf(out, kRow2, r[2][0], r[2][1], r[2][2], r[2][3]);
  std::fprintf(out, kRow3, r[3][0], r[3][1], r[3][2], r[3][3]);
  std::fprintf(out, kRow4, r[4][0], r[4][1], r[4][2], r[4][3], r[4][4], r[4][5]);
  std::fprintf(out, kRow5, r[5][0], r[5][1], r[5][2], r[5][3], r[5][4], r[5][5]);
  std::fprintf(out, kRow6, r[6][0], r[6][1], r[6][2], r[6][3], r[6][4], r[6][5]);
  std::fprintf(out, kRow7, r[7][0], r[7][1], r[7][2], r[7][3], r[7][4], r[7][5]);
  std::fprintf(out, kRow8, r[8][0], r[8][1], r[8][2], r[8][3], r[8][4], r[8][5]);
  std::fprintf(out, "\n");
  std::fprintf(out, kConditionHeader);
  std::fprintf(out, kConditionDashes);
  std::fprintf(out, kRow9, r[9][FK], r[9][RK], r[9][LK]);
  std::fprintf(out, kRow10, r[10][FK], r[10][RK], r[10][LK]);
  std::fprintf(out, kRow11, r[11][FK], r[11][RK], r[11][LK]);
  std::fprintf(out, "\n");
}
