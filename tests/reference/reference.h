// The straightforward implementations that the fast ones must match bit for bit.
#pragma once

#include "recording/read_data.h"

// Reads like read_data, a character at a time and every number through sscanf.
ReadResult read_data_reference(const char* path);

// EMG conditioning with every RMS, noise-level and MVC window summed afresh.
void preprocessing_emg_reference(long long rms_time, long long mvc_time, long long nl_time,
                                 long double emg_threshold);
