#include "analysis/emg.h"

#include "recording/store.h"

void preprocessing_emg(long long, long long, long long, long double) {}
