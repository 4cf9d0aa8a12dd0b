#include "analysis/distances.h"

#include <cmath>
#include <cstdint>

#include "recording/protocol.h"
#include "recording/store.h"

namespace {

// The fields of one tracked point.
struct Point {
  long double Entry::*x;
  long double Entry::*y;
  long double Entry::*z;
  long double Entry::*dist;
  std::uint8_t Entry::*dir;
  long double Track::*max;  // the experiment's maximum
  long double* run_max;     // the run-wide maximum
};

// Points 1 to 5 in their fixed order.
const Point kPoints[] = {
    {&Entry::Right_x, &Entry::Right_y, &Entry::Right_z, &Entry::Right_dist, &Entry::Right_dir,
     &Track::Right_max, &Right_max},
    {&Entry::Left_x, &Entry::Left_y, &Entry::Left_z, &Entry::Left_dist, &Entry::Left_dir,
     &Track::Left_max, &Left_max},
    {&Entry::Incisal_x, &Entry::Incisal_y, &Entry::Incisal_z, &Entry::Incisal_dist,
     &Entry::Incisal_dir, &Track::Incisal_max, &Incisal_max},
    {&Entry::UK6_1_x, &Entry::UK6_1_y, &Entry::UK6_1_z, &Entry::UK6_1_dist, &Entry::UK6_1_dir,
     &Track::UK6_1_max, &UK6_1_max},
    {&Entry::UK6_2_x, &Entry::UK6_2_y, &Entry::UK6_2_z, &Entry::UK6_2_dist, &Entry::UK6_2_dir,
     &Track::UK6_2_max, &UK6_2_max},
};

}  // namespace

void preprocessing_distances() {
  // Positions relative to the calibration, distances, per-experiment maxima.
  for (int t = 0; t < no_tracks; ++t) {
    Track& track = tracks[t];
    for (const Point& p : kPoints) track.*p.max = 0;
    for (int i = track.first_entry; i <= track.last_entry; ++i) {
      Entry& e = entries[i];
      for (const Point& p : kPoints) {
        e.*p.x = e.*p.x - calibration.*p.x;
        e.*p.y = e.*p.y - calibration.*p.y;
        e.*p.z = e.*p.z - calibration.*p.z;
      }
      for (const Point& p : kPoints) {
        const long double x = e.*p.x, y = e.*p.y, z = e.*p.z;
        e.*p.dist = std::sqrt((x * x + y * y) + z * z);
      }
      for (const Point& p : kPoints) {
        if (e.*p.dist > track.*p.max) track.*p.max = e.*p.dist;
      }
    }
  }

  // Run-wide maxima from the maximal openings only, raised from the store's initial 0.
  for (int k : kMaximalOpenings) {
    for (const Point& p : kPoints) {
      if (tracks[k].*p.max > *p.run_max) *p.run_max = tracks[k].*p.max;
    }
  }

  // Direction against the previous sample; an equal (or incomparable) value keeps the direction.
  for (int t = 0; t < no_tracks; ++t) {
    const int f = tracks[t].first_entry, l = tracks[t].last_entry;
    for (const Point& p : kPoints) entries[f].*p.dir = kNoDirection;
    for (int i = f + 1; i <= l; ++i) {
      const Entry& before = entries[i - 1];
      Entry& e = entries[i];
      for (const Point& p : kPoints) {
        if (e.*p.dist > before.*p.dist) {
          e.*p.dir = kRose;
        } else if (before.*p.dist > e.*p.dist) {
          e.*p.dir = kFell;
        } else {
          e.*p.dir = before.*p.dir;
        }
      }
    }
  }
}
