// EMG conditioning exactly as its definition reads, every window summed afresh, one channel at a
// time: the reference the product's conditioning must match bit for bit, windows included.
#pragma once

void preprocessing_emg_reference(long long rms_time, long long mvc_time, long long nl_time,
                                 long double emg_threshold);
