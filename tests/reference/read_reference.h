// The straightforward reader that read_data must match bit for bit: a character at a time through
// the stream's own buffer, every number converted by sscanf. It shares no code with the reader,
// so it checks the reader's piece cutting, line classification and number conversion
// independently.
#pragma once

#include "recording/read_data.h"

// Reads `path` into the store as read_data does: same store, same status, same skipped lines.
ReadResult read_data_reference(const char* path, SampleDetail detail = SampleDetail::report);
