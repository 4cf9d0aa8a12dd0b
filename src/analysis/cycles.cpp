#include "analysis/cycles.h"

#include "recording/store.h"

void compute_cycles(long double) {}
