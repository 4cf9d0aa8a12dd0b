#include "report/index_tables.h"

#include <cstdlib>
#include <initializer_list>

#include "recording/store.h"

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

// The chewing conditions and the stored positions of their two trials.
enum Condition { FK, RK, LK };
constexpr int kFirstTrial[3] = {12, 14, 16};

// Channels: 1 MR, 2 ML, 3 TR, 4 TL.
long double stored_work(int position, int channel) {
  const Track& t = tracks[position];
  switch (channel) {
    case 1:
      return t.Channel1_work;
    case 2:
      return t.Channel2_work;
    case 3:
      return t.Channel3_work;
    default:
      return t.Channel4_work;
  }
}

// Work of a channel summed over the condition's two trials, uV*ms.
long double W(int channel, Condition condition) {
  int p = kFirstTrial[condition];
  return stored_work(p, channel) + stored_work(p + 1, channel);
}

// MVC-based cycle work of a channel over the condition's two trials, divided by 20.
long double Wmvc(const MvcCycleWork& work, int channel, Condition condition) {
  int p = kFirstTrial[condition];
  return (work.value[p][channel] + work.value[p + 1][channel]) / 20;
}

// ((a - b) / (a + b)) * 100 when a + b is above 1, else 0 (also for a NaN sum).
long double AI(long double a, long double b) {
  if (a + b > 1) return ((a - b) / (a + b)) * 100;
  return 0;
}

// The larger of the MVC at positions 0 and 1; position 1's when position 0's is not greater.
long double larger_mvc(long double at0, long double at1) { return at0 > at1 ? at0 : at1; }

// Cycle count times f over the trial's sample-index difference.
long double trial_frequency(int position, long double f) {
  const Track& t = tracks[position];
  return (t.no_chewing_cycles * f) / (t.last_entry - t.first_entry);
}

}  // namespace

IndexValues index_values(const MvcCycleWork& mvc_cycle_work) {
  constexpr int MR = 1, ML = 2, TR = 3, TL = 4;
  const MvcCycleWork& M = mvc_cycle_work;
  IndexValues v;
  auto set = [&](int row, std::initializer_list<long double> values) {
    int n = 0;
    for (long double x : values) v.row[row][n++] = x;
    v.count[row] = n;
  };
  set(1, {AI(W(MR, FK), W(ML, FK)), AI(W(MR, RK), W(ML, RK)), AI(W(MR, LK), W(ML, LK)),
          AI(W(TR, FK), W(TL, FK)), AI(W(TR, RK), W(TL, RK)), AI(W(TR, LK), W(TL, LK))});
  set(2, {AI(W(MR, RK), W(MR, LK)), AI(W(ML, RK), W(ML, LK)),    // masseters
          AI(W(TR, RK), W(TR, LK)), AI(W(TL, RK), W(TL, LK))});  // temporales
  set(3, {larger_mvc(tracks[0].Channel1_mvc, tracks[1].Channel1_mvc),
          larger_mvc(tracks[0].Channel2_mvc, tracks[1].Channel2_mvc),
          larger_mvc(tracks[0].Channel3_mvc, tracks[1].Channel3_mvc),
          larger_mvc(tracks[0].Channel4_mvc, tracks[1].Channel4_mvc)});
  // Mean work of the two trials in uVs: pair sum / 2000.
  set(4, {W(MR, FK) / 2000, W(MR, RK) / 2000, W(MR, LK) / 2000, W(TR, FK) / 2000, W(TR, RK) / 2000,
          W(TR, LK) / 2000});
  set(5, {W(ML, FK) / 2000, W(ML, RK) / 2000, W(ML, LK) / 2000, W(TL, FK) / 2000, W(TL, RK) / 2000,
          W(TL, LK) / 2000});
  set(6, {AI(Wmvc(M, MR, FK), Wmvc(M, ML, FK)), AI(Wmvc(M, MR, RK), Wmvc(M, ML, RK)),
          AI(Wmvc(M, MR, LK), Wmvc(M, ML, LK)), AI(Wmvc(M, TR, FK), Wmvc(M, TL, FK)),
          AI(Wmvc(M, TR, RK), Wmvc(M, TL, RK)), AI(Wmvc(M, TR, LK), Wmvc(M, TL, LK))});
  set(7, {Wmvc(M, MR, FK), Wmvc(M, MR, RK), Wmvc(M, MR, LK), Wmvc(M, TR, FK), Wmvc(M, TR, RK),
          Wmvc(M, TR, LK)});
  set(8, {Wmvc(M, ML, FK), Wmvc(M, ML, RK), Wmvc(M, ML, LK), Wmvc(M, TL, FK), Wmvc(M, TL, RK),
          Wmvc(M, TL, LK)});

  // Sampling frequency in Hz: the leading number of the header text, as atof reads it.
  const long double f = static_cast<long double>(std::atof(frequency));
  for (Condition c : {FK, RK, LK}) {
    const Track& first = tracks[kFirstTrial[c]];
    const Track& second = tracks[kFirstTrial[c] + 1];
    const int count = first.no_chewing_cycles + second.no_chewing_cycles;
    v.row[9][c] = static_cast<long double>(count) / 2;
    const int samples = second.last_entry - first.first_entry;  // index difference
    v.row[10][c] = samples / (f + f);                           // s
    v.row[11][c] =
        (trial_frequency(kFirstTrial[c], f) + trial_frequency(kFirstTrial[c] + 1, f)) / 2;  // Hz
  }
  v.count[9] = v.count[10] = v.count[11] = 3;
  return v;
}

void write_index_tables(std::FILE* out, const MvcCycleWork& mvc_cycle_work) {
  const IndexValues v = index_values(mvc_cycle_work);
  const auto& r = v.row;
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
