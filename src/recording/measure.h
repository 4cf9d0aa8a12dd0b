// Measuring a sample from the calibration as the reader reads it: each point's position relative
// to the calibration's and its distance, the incisal distance, each experiment's largest distance
// of each point, and (for the study's data checks) the facts of the raw positions.
//
// The distances are those the distance stage (analysis/distances.h) works with: x, y, z relative
// to the calibration, each distance the root of (x*x + y*y) + z*z.
#pragma once

#include <cmath>

#include "protocol/protocol.h"
#include "recording/store.h"

// A sample's positions relative to the calibration and each point's squared distance, in the
// order the distance stage defines them: a distance is the root of (x*x + y*y) + z*z. The root
// rises with its argument, so an experiment's largest distance is the root of its largest
// square, taken once.
struct Relative {
  long double position[kPositionFields];
  long double square[kPoints];
};

// Point p of positions `raw`, measured into `r`.
inline void measure_point(const long double (&raw)[kPositionFields], int p, Relative& r) {
  const int k = 3 * p;
  const long double x = raw[k] - calibration.position[k];
  const long double y = raw[k + 1] - calibration.position[k + 1];
  const long double z = raw[k + 2] - calibration.position[k + 2];
  r.position[k] = x;
  r.position[k + 1] = y;
  r.position[k + 2] = z;
  r.square[p] = (x * x + y * y) + z * z;
}

// The check facts of one sample's raw positions, for experiment `t`. `changed` holds the points
// whose positions differ from those of the sample gathered last for `t` (all where there was
// none): a pair of points neither of which changed has the distance it had, which raises or lowers
// nothing again.
// Only the first `pairs` of kPairs are gathered (checked_pairs).
void gather_raw_positions(int t, int sample, const long double (&raw)[kPositionFields],
                          unsigned changed, int pairs);
// Once every sample is gathered: raw_positions' pair extremes, gathered as squared distances,
// become the distances (mm).
void take_pair_distances();

// The measures of the sample read last, and each experiment's largest squared distances so far.
// Points are given as bits: bit p for point p.
class SampleMeasures {
 public:
  // Measures the points of `changed` of positions `raw` anew; the others stand as measured.
  void measure(const long double (&raw)[kPositionFields], unsigned changed) {
    for (int p = 0; p < kPoints; ++p)
      if (changed & (1u << p)) measure_point(raw, p, relative_);
    if (changed & (1u << kIncisal)) incisal_dist_ = std::sqrt(relative_.square[kIncisal]);
  }
  const Relative& relative() const { return relative_; }
  long double incisal_dist() const { return incisal_dist_; }

  // Raises experiment t's largest squares by the sample measured last, whose `changed` points
  // measure gave.
  void raise(int t, unsigned changed) {
    // Raising by the same squares again within one experiment changes nothing.
    if (changed != 0 || raised_track_ != t) {
      for (int p = 0; p < kPoints; ++p)
        if (relative_.square[p] > largest_square_[t][p])
          largest_square_[t][p] = relative_.square[p];
    }
    raised_track_ = t;
  }

  // gather_raw_positions for sample `sample` of experiment t, whose `changed` points measure
  // gave, read in the three-point form or not. Against a line of the other form, every point
  // counts as changed.
  void gather(int t, int sample, const long double (&raw)[kPositionFields], unsigned changed,
              bool three_point) {
    const bool same = gathered_track_ == t && gathered_three_point_ == three_point;
    gather_raw_positions(t, sample, raw, same ? changed : (1u << kPoints) - 1,
                         checked_pairs(three_point));
    gathered_track_ = t;
    gathered_three_point_ = three_point;
  }

  // Each experiment's largest distances (distance_max), from the largest squares.
  void take_maxima() const;

 private:
  long double largest_square_[kMaxTracks][kPoints] = {};
  Relative relative_;  // measured from the sample's positions
  long double incisal_dist_ = 0;
  int raised_track_ = -1;              // the experiment the maxima were last raised for
  int gathered_track_ = -1;            // the experiment the raw positions were last gathered for
  bool gathered_three_point_ = false;  // and the form of that line
};
