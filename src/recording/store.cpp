#include "recording/store.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstring>
#include <initializer_list>

Entry entries[kMaxEntries];
int no_entries;
Track tracks[kMaxTracks];
int no_tracks;
Calibration calibration;
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

// The sample table is large and every sample read touches it: asking for huge pages saves the
// kernel most of its page faults. Pages nobody touches still take no memory.
struct HugePages {
  HugePages() {
    constexpr std::uintptr_t kHuge = 2 << 20;
    auto begin = reinterpret_cast<std::uintptr_t>(entries);
    auto end = begin + sizeof entries;
    begin = (begin + kHuge - 1) & ~(kHuge - 1);
    end &= ~(kHuge - 1);
    if (begin < end) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
  }
} huge_pages;

}  // namespace

void reset_store() {
  std::memset(entries, 0, sizeof(Entry) * static_cast<std::size_t>(no_entries));
  no_entries = 0;
  std::memset(tracks, 0, sizeof tracks);
  for (std::vector<ChewingCycle>& cycles : chewing_cycles) cycles.clear();
  no_tracks = 0;
  std::memset(&calibration, 0, sizeof calibration);
  for (char* text : {person, sex, born, creation, frequency}) std::memset(text, 0, kHeaderSize);
  Right_max = Left_max = Incisal_max = UK6_1_max = UK6_2_max = 0;
  Channel1_mvc = Channel2_mvc = Channel3_mvc = Channel4_mvc = 0;
  Channel1_nl = Channel2_nl = Channel3_nl = Channel4_nl = 0;
}
