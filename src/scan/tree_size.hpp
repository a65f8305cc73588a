#pragma once
// The size of a file or folder tree, never following a symbolic link (a link counts 0).
// Folder entries are measured in parallel on the shared oneTBB pool, and in the I/O arena once
// the metadata calls wait on the device. Unreadable entries count 0; the measure never fails.
// Once a stop is requested (util/stop_request) it winds down and counts what it has. Entries
// listed go to the work counters (util/work_progress).
#include <cstdint>
#include <string>

namespace orvc::scan {

// Apparent: the files' lengths. Allocated: their 512-byte blocks x 512.
enum class SizeKind { Apparent, Allocated };

uint64_t tree_size(const std::string& path, SizeKind kind);

}  // namespace orvc::scan
