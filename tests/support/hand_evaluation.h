// Evaluations made by hand, holding plain results as evaluate() copies them from the store, for
// the tests of the figures derived from them and of the report's sections.
#pragma once

#include "analysis/evaluation.h"

// The evaluation of a recording of `experiments` experiments (no_tracks, no_experiments), every
// other result zero.
Evaluation evaluation_of(int experiments);

// The work (uV*ms) of the four channels of the experiment at `position`.
void set_work(Evaluation& e, int position, long double mr, long double ml, long double tr,
              long double tl);

// `e` with its figures derived as evaluate() derives them.
Evaluation derived(Evaluation e, long double emg_threshold = 0.03L, long double dist_threshold = 3);
