// Recordings evaluated one after the other, or several at once in separate processes (the
// recording store is one per process).
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "study/evaluate.h"

struct PoolWork {
  // Also called in this process, for a recording no worker can be started for.
  std::function<RecordingTables(std::size_t index)> evaluate;
  // The rows of a recording whose worker process ended without handing any back.
  std::function<RecordingTables(std::size_t index, const std::string& message)> failed;
  // Called in this process as each recording finishes, in the order they finish.
  std::function<void(std::size_t index, const RecordingTables& tables)> finished;
  // Called in this process for each recording in index order, as soon as it and all before it
  // have finished.
  std::function<void(std::size_t index, const RecordingTables& tables)> in_order;
};

// Evaluates recordings 0 .. count-1. With jobs == 1 they are evaluated in this process; with
// more, by `jobs` forked worker processes that take one recording after another and hand each
// one's rows back through a file in a scratch folder made inside `scratch_parent` and removed
// afterwards; a worker that ends in the middle of a recording fails that recording alone (one that
// runs out of memory handing its rows back fails it as kOutOfMemory). When a worker cannot be
// started (a process limit, no file descriptor for its pipes), the workers already running take
// the rest; with none running, this process evaluates the recordings itself until one starts.
// Returns an error message when the scratch folder cannot be made, else an empty text.
std::string run_pool(std::size_t count, int jobs, const std::string& scratch_parent,
                     const PoolWork& work);
