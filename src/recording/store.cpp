#include "recording/store.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

Samples samples;
int no_entries;
Track tracks[kMaxTracks];
int no_tracks;
Calibration calibration;
SampleForms sample_forms;
RawPositions raw_positions[kMaxTracks];
long double distance_max[kMaxTracks][kPoints];
std::vector<ChewingCycle> chewing_cycles[kMaxTracks];

char person[kHeaderSize];
char sex[kHeaderSize];
char born[kHeaderSize];
char creation[kHeaderSize];
char frequency[kHeaderSize];

long double Right_max, Left_max, Incisal_max, UK6_1_max, UK6_2_max;
long double Channel1_mvc, Channel2_mvc, Channel3_mvc, Channel4_mvc;
long double Channel1_nl, Channel2_nl, Channel3_nl, Channel4_nl;

namespace {

// The first stretch of channel c that ends at or after sample i.
std::vector<BurstStretch>::const_iterator stretch_from(int c, int i) {
  const std::vector<BurstStretch>& bursts = samples.bursts[c];
  return std::partition_point(bursts.begin(), bursts.end(),
                              [i](const BurstStretch& b) { return b.last < i; });
}

}  // namespace

long double burst_value(int c, int i) {
  const auto b = stretch_from(c, i);
  return b != samples.bursts[c].end() && b->first <= i ? b->value : 0;
}

long double* experiment_channel(int c, int t) {
  std::vector<long double>& column = samples.channel[c];
  if (column.empty()) return nullptr;
  const int f = tracks[t].first_entry;
  const int at =
      samples.channels_kept || t < kKeptExperiments ? f : tracks[kKeptExperiments].first_entry;
  return column.data() + at - f;
}

long double raise_by_bursts(int c, int from, int to, long double current) {
  if (from > to) return current;  // no sample: a phase closed right after it opened
  const long double zero = 0;
  int next = from;  // the first sample not yet compared
  for (auto b = stretch_from(c, from); b != samples.bursts[c].end() && b->first <= to; ++b) {
    if (b->first > next && zero > current) current = zero;  // samples of +0 before it
    if (b->value > current) current = b->value;
    next = b->last + 1;
  }
  if (next <= to && zero > current) current = zero;
  return current;
}

void advise_huge_pages(const void* begin, const void* end) {
#ifdef MADV_HUGEPAGE
  static const bool wanted = [] {
    const char* setting = std::getenv("CHEW_HUGE_PAGES");
    return setting != nullptr && std::strcmp(setting, "1") == 0;
  }();
  if (!wanted) return;
  const std::uintptr_t first =
      (reinterpret_cast<std::uintptr_t>(begin) + kHugePage - 1) & ~(kHugePage - 1);
  const std::uintptr_t last = reinterpret_cast<std::uintptr_t>(end) & ~(kHugePage - 1);
  if (first < last) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
  (void)begin, (void)end;
#endif
}

void prefault(const void* begin, const void* end) {
#ifdef MADV_POPULATE_WRITE
  static const std::uintptr_t page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  const std::uintptr_t first = reinterpret_cast<std::uintptr_t>(begin) & ~(page - 1);
  const std::uintptr_t last = reinterpret_cast<std::uintptr_t>(end);
  madvise(reinterpret_cast<void*>(first), last - first, MADV_POPULATE_WRITE);
#else
  (void)begin, (void)end;
#endif
}

void reset_store() {
  Samples& s = samples;
  s.time.clear();
  for (int c = 0; c < kChannels; ++c) {
    s.channel[c].clear();
    s.bursts[c].clear();
  }
  for (std::vector<long double>* column :
       {&s.incisal_dist, &s.incisal_x, &s.incisal_y, &s.incisal_z})
    column->clear();
  s.incisal_dir.clear();
  s.cycle_status.clear();
  s.positions_kept = false;
  s.channels_kept = true;
  no_entries = 0;
  std::memset(tracks, 0, sizeof tracks);
  for (std::vector<ChewingCycle>& cycles : chewing_cycles) cycles.clear();
  no_tracks = 0;
  calibration = Calibration{};
  sample_forms = SampleForms{};
  std::memset(raw_positions, 0, sizeof raw_positions);
  std::memset(distance_max, 0, sizeof distance_max);
  for (char* text : {person, sex, born, creation, frequency}) std::memset(text, 0, kHeaderSize);
  Right_max = Left_max = Incisal_max = UK6_1_max = UK6_2_max = 0;
  Channel1_mvc = Channel2_mvc = Channel3_mvc = Channel4_mvc = 0;
  Channel1_nl = Channel2_nl = Channel3_nl = Channel4_nl = 0;
}

void release_store() {
  reset_store();
  Samples& s = samples;
  std::vector<long long>().swap(s.time);
  for (int c = 0; c < kChannels; ++c) {
    std::vector<long double>().swap(s.channel[c]);
    std::vector<BurstStretch>().swap(s.bursts[c]);
  }
  for (std::vector<long double>* column :
       {&s.incisal_dist, &s.incisal_x, &s.incisal_y, &s.incisal_z})
    std::vector<long double>().swap(*column);
  std::vector<std::uint8_t>().swap(s.incisal_dir);
  std::vector<std::uint8_t>().swap(s.cycle_status);
  for (std::vector<ChewingCycle>& cycles : chewing_cycles) std::vector<ChewingCycle>().swap(cycles);
}
