// The fixed protocol of a recording and the constants every stage and every output shares.
//
// Experiments are addressed by their position in the recording (0-based; reports number them
// from 1). The protocol gives fixed positions fixed roles, whatever the recording holds: a
// position the recording lacks reads as zeros.
#pragma once

#include <cstdint>

// The evaluator's version, as reports and tables print it (set by the build).
#ifndef CHEW_VERSION
#error "CHEW_VERSION must be defined by the build"
#endif
constexpr char kVersion[] = CHEW_VERSION;

constexpr int kMaxTracks = 18;  // experiments of the protocol
constexpr int kChannels = 4;    // EMG: masseter right, left, temporalis right, left
constexpr int kPoints = 5;      // tracked: right, left, incisal, two lower first molars
constexpr int kPositionFields = 3 * kPoints;  // x, y, z of each point, in that order
constexpr int kIncisal = 2;                   // the incisal point's place among the points

// The sample form of a recording: what every one of its sample lines carried.
struct RecordingForm {
  int points = 5;        // 5, or 3 (right, left, incisal)
  int emg_channels = 2;  // 2 (masseters), or 4 (and the temporales)
};

// Burst integrals and muscle work are kept in uV*ms and shown in uVs: divided by this.
constexpr long double kMicrovoltMsPerMicrovoltS = 1000;

// A chewing cycle counts, and a cycle maximum enters the MVC-based cycle work, when a burst
// integrates to more than this many times the channel's run-wide MVC (uV*ms against uV: that
// many milliseconds of activity at MVC level).
constexpr int kConfirmationFactor = 10;

// Time stamps and window lengths within this many ms of zero leave room for their differences
// and sums in 64 bits; the fast window walks take only experiments inside it.
constexpr long long kTimeLimit = 1LL << 61;

// Maximal clenching: the run-wide MVC is the larger of these two experiments' MVC.
constexpr int kMvcExperiments[] = {0, 1};
// Maximal opening: the run-wide distance maxima are the larger of these two experiments'.
constexpr int kMaximalOpenings[] = {2, 3};

// The six chewing trials, positions 12 to 17. Chewing cycles are confirmed, work balances shown
// and the run-wide noise level taken from the first chewing trial on.
constexpr int kFirstChewingTrial = 12;
constexpr int kChewingTrials = 6;
constexpr int kLastChewingTrial = kFirstChewingTrial + kChewingTrials - 1;
constexpr const char* kTrialLabels[kChewingTrials] = {"FK1", "FK2", "RK1", "RK2", "LK1", "LK2"};

// Whether the experiment at `position` is a chewing trial, and its label ("" when it is not).
constexpr bool is_chewing_trial(int position) {
  return position >= kFirstChewingTrial && position <= kLastChewingTrial;
}
constexpr const char* trial_label(int position) {
  return is_chewing_trial(position) ? kTrialLabels[position - kFirstChewingTrial] : "";
}

// The EMG channels' short names, as the study's tables prefix their columns: masseter right and
// left, temporalis right and left.
constexpr const char* kChannelKeys[] = {"mr", "ml", "tr", "tl"};

// The chewing conditions, each of two consecutive trials: free chewing, chewing on the right
// side, chewing on the left side.
enum Condition { FK, RK, LK };
constexpr int kConditions = 3;
constexpr Condition kAllConditions[kConditions] = {FK, RK, LK};
constexpr const char* kConditionLabels[kConditions] = {"FK", "RK", "LK"};
constexpr int first_trial_of(Condition condition) { return kFirstChewingTrial + 2 * condition; }

// The noise level of an experiment in which no window qualifies, and the start of every
// noise-level minimum, uV.
constexpr long double kNoNoiseLevel = 1000;

// Direction flags of a distance against the previous sample of its experiment.
constexpr std::uint8_t kNoDirection = 0;  // first sample, or no change since it
constexpr std::uint8_t kRose = 1;
constexpr std::uint8_t kFell = 2;

// Milliseconds from `earlier` to `later`. Time stamps may be any 64-bit value, so the difference
// is taken in 128 bits, where it cannot overflow; it equals the plain 64-bit difference whenever
// that one exists.
inline __int128 elapsed(long long later, long long earlier) {
  return static_cast<__int128>(later) - earlier;
}
// The same as an extended value. Every 64-bit integer converts exactly, so the 64-bit difference
// gives the same value wherever it does not overflow, without the slow 128-bit conversion.
inline long double elapsed_value(long long later, long long earlier) {
  long long difference;
  if (!__builtin_sub_overflow(later, earlier, &difference))
    return static_cast<long double>(difference);
  return static_cast<long double>(elapsed(later, earlier));
}
