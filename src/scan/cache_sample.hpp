#pragma once
// Whether a tree's metadata waits on the device, judged before a walk that cannot change its
// arena once started (a parallel_for_each with a feeder). Walks that recurse through nested
// parallel steps switch on the way instead (util/io_arena.hpp: run_wide_when_cold).
#include <oneapi/tbb/task_arena.h>

#include <cstddef>
#include <string>

#include "util/io_arena.hpp"

namespace orvc::scan {

// Times the metadata calls of the first `entries` entries below `root`, breadth first (one
// listing per folder, one fstatat per entry, links never followed), into `probe`. The reads it
// makes are ones the walk makes anyway, so on a cold cache they are not lost.
void sample_metadata_cost(const std::string& root, CacheProbe& probe, size_t entries = 1024);

// The arena a folder walk of `roots` should run in: the I/O arena when a sample of the first
// root's metadata finds the cache cold, `warm_arena` otherwise.
tbb::task_arena& arena_for_walk(const std::string& root, tbb::task_arena& warm_arena);

}  // namespace orvc::scan
