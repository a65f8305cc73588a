#pragma once
// The walk worker pool ("scan thread pool") of the file collector: process-wide, built on first
// use and kept until exit.
#include <oneapi/tbb/task_arena.h>

#include <optional>

namespace orvc::scan {

// Online processors − 1, clamped to 2..65535; 3 when the count is unknown.
unsigned walk_pool_size(std::optional<unsigned> online_processors);

// Throws std::runtime_error naming the "scan thread pool" when it cannot be built.
tbb::task_arena& walk_pool();

}  // namespace orvc::scan
