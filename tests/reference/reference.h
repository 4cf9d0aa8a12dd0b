// The straightforward implementations that the fast ones must match bit for bit.
#pragma once

#include "recording/read_data.h"
#include "reference/emg_reference.h"

// Reads like read_data, a character at a time and every number through sscanf.
inline ReadResult read_data_reference(const char* path) { return read_data_straightforward(path); }
