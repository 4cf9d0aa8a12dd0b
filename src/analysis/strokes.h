// Chewing strokes, found from the incisal movement itself: where each opening starts, where it
// peaks, where its closing ends in occlusion. Unlike the classic cycle count, no distance
// threshold is involved, so a stroke whose closing stops on the bolus above the threshold is still
// a stroke, and a double peak stays one.
//
// Reads  the incisal distance (mm, from the calibrated position) and the time stamps (ms) of one
//        chewing trial's samples.
#pragma once

#include <vector>

// A stroke must open by at least this much (mm) and at least this share of the trial's median
// stroke opening: tremor, swallowing and small bolus movements stay out.
constexpr long double kSmallestOpening_mm = 2;
constexpr long double kSmallestOpeningShare = 0.2;
// The peak is the largest opening before the jaw closes again by more than this share of the
// opening (from the opening start to the running maximum): a double peak whose dip closes less
// than that is one stroke.
constexpr long double kClosingShare = 0.4;
// The jaw is still when it moves slower than this (mm/s, the incisal distance's rate of change
// over at least kSpeedSpan_ms): the closing ends (occlusion) and the opening starts where the
// movement within the lowest kStillBand of the stroke falls below or rises above it. A span of
// several milliseconds keeps the 0.01 mm steps of rounded positions at 1000 Hz from reading as
// movement.
constexpr long double kStillSpeed_mm_per_s = 5;
constexpr long long kSpeedSpan_ms = 10;
constexpr long double kStillBand = 0.2;

// One stroke, by sample index: the opening start o, the peak p (the last sample of the largest
// incisal distance), the occlusion c (the end of the closing) and the closing minimum m (the
// first sample of the lowest distance after the peak, before the next stroke's rise), with
// o < p <= c <= m.
struct StrokeBounds {
  int opening_start = 0, peak = 0, occlusion = 0, closing_min = 0;
};

// The strokes of samples first..last, in order. A stroke whose closing has not begun by the
// last sample is none.
std::vector<StrokeBounds> find_strokes(const long double* distance, const long long* time,
                                       int first, int last);
