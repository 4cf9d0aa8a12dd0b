#include "support/hand_evaluation.h"

Evaluation evaluation_of(int experiments) {
  Evaluation e;
  e.no_tracks = e.no_experiments = experiments;
  return e;
}

void set_work(Evaluation& e, int position, long double mr, long double ml, long double tr,
              long double tl) {
  long double* work = e.experiments[position].work;
  work[0] = mr, work[1] = ml, work[2] = tr, work[3] = tl;
}

Evaluation derived(Evaluation e, long double emg_threshold, long double dist_threshold) {
  derive_figures(e, emg_threshold, dist_threshold);
  return e;
}
