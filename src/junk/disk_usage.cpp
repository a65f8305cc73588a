#include "junk/disk_usage.hpp"

#include "scan/tree_size.hpp"
#include "util/work_progress.hpp"

namespace orvc::junk {

uint64_t disk_usage(const std::string& path) {
  const uint64_t usage = scan::tree_size(path, scan::SizeKind::Allocated);
  // Whole items at a time: a folder's files are summed on many threads at once.
  add_seen(0, usage);
  return usage;
}

}  // namespace orvc::junk
