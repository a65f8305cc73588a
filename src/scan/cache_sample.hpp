#pragma once
// Whether a tree's metadata waits on the device, judged before work that cannot change its
// arena once started (a parallel_for_each with a feeder, a fixed set of walks side by side).
// Walks that recurse through nested parallel steps switch on the way as well
// (util/io_arena.hpp: run_wide_when_cold).
#include <oneapi/tbb/task_arena.h>

#include <cstddef>
#include <string>

#include "util/io_arena.hpp"

namespace orvc {

// Times the metadata calls of the first `entries` entries below `root`, breadth first (one
// listing per folder, one fstatat per entry, links never followed, other file systems never
// entered), into `probe`. The reads it
// makes are ones the walk makes anyway, so on a cold cache they are not lost; it stops as soon
// as the probe finds the cache cold.
void sample_metadata_cost(const std::string& root, CacheProbe& probe, size_t entries = 1024);

// Whether a sample of `entries` of the metadata below `root` finds the cache cold.
bool cache_looks_cold(const std::string& root, size_t entries = 1024);

// The arena a walk below `root` should run in: the I/O arena when a sample of `entries` of the
// root's metadata finds the cache cold, `warm_arena` otherwise.
tbb::task_arena& arena_for_walk(const std::string& root, tbb::task_arena& warm_arena,
                                size_t entries = 1024);

}  // namespace orvc
