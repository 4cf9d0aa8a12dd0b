// The recording store: one whole recording for the length of a run. The samples are columns of
// what the stages after the reader read, sized to the recording as it is read (at most
// kMaxEntries; the channels' columns, where the EMG is conditioned during the reading, only a
// few experiments: see experiment_channel); the experiments and everything else are fixed tables.
//
// Written by read_data (samples, experiment bounds, calibration, header texts), then by the
// analysis stages in run order; the report only reads it. Every stage relies on the all-zero
// state at process start (run-wide maxima and MVC are raised from 0, missing experiments at the
// fixed protocol positions read as zeros).
#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "protocol/protocol.h"
#include "protocol/records.h"

constexpr int kMaxEntries = 500000;  // samples per recording
constexpr int kHeaderSize = 256;     // header text buffers, terminator included

// The samples, one column per quantity that a stage after the reader reads, each holding
// no_entries values (index = sample). Positions are not kept: the reader turns each sample's
// positions into its distances as it reads it (see read_data.h).
struct Samples {
  std::vector<long long> time;  // ms; 0 opens an experiment
  // A channel whose every value is +0 (one the recording's lines do not carry) keeps both its
  // columns empty; channel_value and burst_value read them as +0. Where channels_kept is false,
  // a channel column holds only what experiment_channel() points to (see there).
  std::vector<long double> channel[kChannels];  // uV: raw, then RMS in place
  // Each channel's burst integrals (uV*ms), as the stretches of samples that hold one value other
  // than +0, in sample order: most samples hold +0, and a burst holds its total throughout.
  std::vector<BurstStretch> bursts[kChannels];
  std::vector<long double> incisal_dist;   // mm: the signal chewing cycles are recognised on
  std::vector<std::uint8_t> incisal_dir;   // 0 none, 1 rose, 2 fell
  std::vector<std::uint8_t> cycle_status;  // max_end | min_start
  // Kept only where the reader was asked for the study's detail (kinematics and check pages read
  // them); the classic report never does, and they are a third of the store.
  std::vector<long double> incisal_x, incisal_y, incisal_z;  // mm, relative to the calibration
  bool positions_kept = false;                               // incisal_x/y/z hold every sample
  bool channels_kept = true;  // the channel columns hold every sample
};

extern Samples samples;

// Channel c's value and burst integral at sample i, +0 where the channel's column is empty. The
// value needs the channel columns whole (channels_kept).
inline long double channel_value(int c, int i) {
  assert(samples.channels_kept);
  return samples.channel[c].empty() ? 0 : samples.channel[c][static_cast<std::size_t>(i)];
}
long double burst_value(int c, int i);

// `current` raised, comparing strictly in sample order, by channel c's burst integrals of samples
// from..to (none where from > to): the largest of them where it is larger.
long double raise_by_bursts(int c, int from, int to, long double current);

// The experiments whose channel values the columns keep even where channels_kept is false: those
// before the last that the run-wide MVC comes from (experiments 0 and 1). Their burst integrals
// need that MVC, so they wait for the last of them.
constexpr int kKeptExperiments = 1;

// Where experiment t's values of channel c lie in its column, as a pointer indexed by sample
// number (valid from tracks[t].first_entry to last_entry); nullptr where the column is empty.
// Where channels_kept is false, each experiment from kKeptExperiments on takes the place of the
// one before it, just after the kept ones: only the latest of them is there. The pointer holds
// until the column grows.
long double* experiment_channel(int c, int t);

// The calibration line: the reference position of the five points (mm, in file order: right,
// left, incisal, two lower first molars; x, y, z each) and the sample form it selects.
struct Calibration {
  long double position[kPositionFields];
  int type;  // 0 five points, 1 three (9 numbers); 0 while no calibration line was read
};

// Pairs of points, right-left first: the only pair a three-point form is checked on.
struct PointPair {
  int a, b;
};
constexpr int kPointPairs = kPoints * (kPoints - 1) / 2;
constexpr PointPair kPairs[kPointPairs] = {{0, 1}, {0, 2}, {0, 3}, {0, 4}, {1, 2},
                                           {1, 3}, {1, 4}, {2, 3}, {2, 4}, {3, 4}};

// The pairs of points the data checks look at on a line of each form: a three-point line the
// right-left pair only (a recording with one such line is checked on that pair alone), a
// five-point line every pair.
constexpr int checked_pairs(bool three_point) { return three_point ? 1 : kPointPairs; }

// What the data checks need of the raw positions of one experiment, gathered by the reader when
// asked to: values that are not finite, per position field, and the distance of each pair of
// points its lines are checked on, smallest and largest where finite.
struct RawPositions {
  int non_finite[kPositionFields];
  int first_non_finite[kPositionFields];  // sample index of the first
  bool pair_seen[kPointPairs];
  long double pair_min[kPointPairs], pair_max[kPointPairs];  // mm
};

// What the reader saw of the sample forms: a sample read in the three-point form, or with only
// the two masseters' channels.
struct SampleForms {
  bool three_point, two_channels;
};

// One experiment: samples first_entry..last_entry, both inclusive.
struct Track {
  int first_entry;
  int last_entry;
  int no_cycles;          // upward crossings of the distance threshold
  int no_chewing_cycles;  // cycles confirmed by masseter activity (positions 12 on)
  long double Right_max, Left_max, Incisal_max, UK6_1_max, UK6_2_max;  // mm, this experiment
  long double Channel1_mvc, Channel1_nl, Channel1_work;                // uV, uV, uV*ms
  long double Channel2_mvc, Channel2_nl, Channel2_work;
  long double Channel3_mvc, Channel3_nl, Channel3_work;
  long double Channel4_mvc, Channel4_nl, Channel4_work;
  EmgWindow mvc_window[kChannels], nl_window[kChannels];  // per channel, set with the MVC and NL
};

extern int no_entries;  // samples in use
extern Track tracks[kMaxTracks];
extern int no_tracks;  // records of tracks in use
extern Calibration calibration;
extern SampleForms sample_forms;
extern RawPositions raw_positions[kMaxTracks];
// Each experiment's largest distance of each point (right, left, incisal, molars), mm, as the
// reader found them; the distance stage makes them the experiments' own.
extern long double distance_max[kMaxTracks][kPoints];

// Header values as they follow their keyword, line end included, cut to 255 characters.
extern char person[kHeaderSize];
extern char sex[kHeaderSize];
extern char born[kHeaderSize];
extern char creation[kHeaderSize];
extern char frequency[kHeaderSize];

// Run-wide results.
extern long double Right_max, Left_max, Incisal_max, UK6_1_max, UK6_2_max;  // mm
extern long double Channel1_mvc, Channel2_mvc, Channel3_mvc, Channel4_mvc;  // uV
extern long double Channel1_nl, Channel2_nl, Channel3_nl, Channel4_nl;      // uV

// The chewing cycles of every chewing trial, in order, as cycle recognition found them
// (including those no masseter confirmed); empty for other positions.
extern std::vector<ChewingCycle> chewing_cycles[kMaxTracks];

constexpr long double Track::*kChannelMvc[kChannels] = {&Track::Channel1_mvc, &Track::Channel2_mvc,
                                                        &Track::Channel3_mvc, &Track::Channel4_mvc};
constexpr long double Track::*kChannelNl[kChannels] = {&Track::Channel1_nl, &Track::Channel2_nl,
                                                       &Track::Channel3_nl, &Track::Channel4_nl};
constexpr long double Track::*kChannelWork[kChannels] = {
    &Track::Channel1_work, &Track::Channel2_work, &Track::Channel3_work, &Track::Channel4_work};
inline long double* const kRunMvc[kChannels] = {&Channel1_mvc, &Channel2_mvc, &Channel3_mvc,
                                                &Channel4_mvc};
inline long double* const kRunNl[kChannels] = {&Channel1_nl, &Channel2_nl, &Channel3_nl,
                                               &Channel4_nl};

// Makes the pages of values [from, to) of a column's reserved storage (to at most its capacity)
// present and writable in one call: a page fault per page costs far more, above all in a virtual
// machine. Where the system cannot, the pages come as the values are written.
void prefault(const void* begin, const void* end);
template <typename T>
void prefault(const std::vector<T>& column, std::size_t from, std::size_t to) {
  if (to > column.capacity()) to = column.capacity();
  if (from < to) prefault(column.data() + from, column.data() + to);
}

// Where the environment sets CHEW_HUGE_PAGES=1, asks the system to back the whole huge pages
// (2 MiB) inside [begin, end) with huge pages: a virtual machine pays for every small page it maps
// first, and a capacity recording's columns take some 8000 of them. Not by default: the first
// runs after a pause can take longer with them (see bench/huge_pages).
constexpr std::size_t kHugePage = std::size_t{1} << 21;
void advise_huge_pages(const void* begin, const void* end);

// Room for n values in a column. Where that is a huge page or more, the room reaches a huge page
// further, so that the huge pages inside it hold all n values but those before the first.
template <typename T>
void reserve_column(std::vector<T>& column, std::size_t n) {
  if (n * sizeof(T) < kHugePage) {
    column.reserve(n);
    return;
  }
  column.reserve(n + kHugePage / sizeof(T));
  advise_huge_pages(column.data(), column.data() + column.capacity());
}

// Returns the store to its process-start state, for tests and for programs that evaluate several
// recordings in one process. The sample columns keep their room (empty, as at process start): the
// next recording's samples go into memory already mapped instead of pages the system must map
// and clear anew, which costs a virtual machine microseconds a page.
void reset_store();

// reset_store, and the sample columns' room given back to the system as well: after a recording
// whose evaluation ran out of memory, whose columns may hold most of what the process can have.
void release_store();
