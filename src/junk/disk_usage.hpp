#pragma once
// Allocated space of a file or folder tree: 512-byte blocks x 512, never following a symbolic
// link (a link counts 0). Folder entries are measured in parallel on the shared oneTBB pool.
// Unreadable entries count 0; the measure never fails. Once a stop is requested
// (util/stop_request) it winds down and counts what it has. Entries listed and each measured
// item's bytes go to the work counters (util/work_progress).
#include <cstdint>
#include <string>

namespace orvc::junk {

uint64_t disk_usage(const std::string& path);

}  // namespace orvc::junk
