// The straightforward implementations that the fast ones must match bit for bit.
#pragma once

#include "analysis/emg.h"

// EMG conditioning with every window summed afresh.
inline void preprocessing_emg_reference(long long rms_time, long long mvc_time, long long nl_time,
                                        long double emg_threshold) {
  preprocessing_emg_window_by_window(rms_time, mvc_time, nl_time, emg_threshold);
}
