// The recording store: one whole recording in fixed-capacity tables for the length of a run.
//
// Written by read_data (samples, experiment bounds, calibration, header texts), then by the
// analysis stages in run order; the report only reads it. Every stage relies on the all-zero
// state at process start (run-wide maxima and MVC are raised from 0, missing experiments at the
// fixed protocol positions read as zeros).
#pragma once

#include <cstdint>
#include <vector>

constexpr int kMaxEntries = 500000;  // samples per recording
constexpr int kMaxTracks = 18;       // experiments of the protocol
constexpr int kHeaderSize = 256;     // header text buffers, terminator included
constexpr int kChannels = 4;         // EMG: masseter right, left, temporalis right, left

// Cycle-status bits of a sample.
constexpr std::uint8_t max_end = 0x02;    // last sample of a local maximum of Incisal_dist
constexpr std::uint8_t min_start = 0x04;  // first sample of a local minimum of Incisal_dist

// One sample. Positions in mm, EMG in uV, burst integrals in uV*ms.
struct Entry {
  long long time;                         // ms; 0 opens an experiment
  long double Right_x, Right_y, Right_z;  // mm; relative to the calibration after distances
  long double Right_dist;                 // mm from the calibrated reference position
  long double Left_x, Left_y, Left_z;
  long double Left_dist;
  long double Incisal_x, Incisal_y, Incisal_z;
  long double Incisal_dist;  // the signal chewing cycles are recognised on
  long double UK6_1_x, UK6_1_y, UK6_1_z;
  long double UK6_1_dist;
  long double UK6_2_x, UK6_2_y, UK6_2_z;
  long double UK6_2_dist;
  long double Aux1, Aux2, Aux3;                        // read, never used
  long double Channel1, Channel2, Channel3, Channel4;  // uV: raw, then RMS in place
  int type;  // calibration type in force when the line was read (0 five points, 1 three)
  std::uint8_t emg_channels;  // EMG channels the sample's line carried: 2 or 4
  long double Channel1_burst, Channel2_burst, Channel3_burst, Channel4_burst;  // uV*ms
  std::uint8_t Right_dir, Left_dir, Incisal_dir, UK6_1_dir, UK6_2_dir;  // 0 none, 1 rose, 2 fell
  std::uint8_t cycle_status;                                            // max_end | min_start
};

// The calibration line fills a record of the sample layout; only the positions and `type` count.
using Calibration = Entry;

// The samples first..last (both inclusive) of the window an experiment's MVC or noise level was
// taken from: the first window with the extreme mean. `found` is false where no window beat the
// starting value (MVC 0, noise level 1000).
struct EmgWindow {
  bool found;
  int first, last;
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

// A chewing cycle as cycle recognition walks it: it opens at a sample marked max_end whose
// incisal distance is at or above the distance threshold and closes at the next sample marked
// min_start below it.
struct ChewingCycle {
  int start;                         // the opening sample
  int end;                           // the closing sample
  long double burst_max[kChannels];  // uV*ms, each channel's largest burst over start+1..end
  bool confirmed;                    // a masseter maximum above 10 x its run-wide MVC
};

extern Entry entries[kMaxEntries];
extern int no_entries;  // records of entries in use
extern Track tracks[kMaxTracks];
extern int no_tracks;  // records of tracks in use
extern Calibration calibration;

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

// The four EMG channels' fields in channel order, for code that treats the channels alike.
constexpr long double Entry::*kChannelValue[kChannels] = {&Entry::Channel1, &Entry::Channel2,
                                                          &Entry::Channel3, &Entry::Channel4};
// The position fields in file order: right, left, incisal, two lower first molars; x, y, z each.
constexpr long double Entry::*kPositionValue[15] = {
    &Entry::Right_x, &Entry::Right_y,   &Entry::Right_z,   &Entry::Left_x,    &Entry::Left_y,
    &Entry::Left_z,  &Entry::Incisal_x, &Entry::Incisal_y, &Entry::Incisal_z, &Entry::UK6_1_x,
    &Entry::UK6_1_y, &Entry::UK6_1_z,   &Entry::UK6_2_x,   &Entry::UK6_2_y,   &Entry::UK6_2_z};
constexpr long double Entry::*kChannelBurst[kChannels] = {
    &Entry::Channel1_burst, &Entry::Channel2_burst, &Entry::Channel3_burst, &Entry::Channel4_burst};
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

// Returns the store to its process-start state, for tests and for programs that evaluate several
// recordings in one process. Only the samples in use are cleared, so pages of the sample table
// that were never touched stay untouched.
void reset_store();
