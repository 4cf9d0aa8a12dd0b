#include "analysis/work.h"

#include "recording/store.h"

void preprocessing_work() {}
