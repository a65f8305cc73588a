#pragma once
// Measures a folder tree: one listing per folder, one metadata call per entry, sibling entries
// in parallel on the data-parallel pool. Never follows a symbolic link, never crosses into
// another mounted file system (with same_device), never reads file contents.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "util/expected.hpp"

namespace orvc::scan {

struct DiskNode {
  std::string path;        // the OS path's bytes; the root as given
  uint64_t size = 0;       // logical bytes; for a folder, the sum of everything counted below it
  uint64_t allocated = 0;  // 512 × allocated blocks; summed likewise
  bool is_dir = false;
  bool unreadable = false;                        // a folder whose listing could not be read
  std::optional<std::vector<DiskNode>> children;  // absent for non-folders
};

struct SweepOptions {
  std::optional<unsigned> children_depth;  // folders deeper than this keep no child list
  uint64_t min_child_size = 0;             // smaller non-folder children are left out of lists
  bool same_device = true;
};

// Fails only when the root's own metadata cannot be read:
// "Cannot access '<root>': <os error text> (os error N)".
Result<DiskNode> disk_sweep(const std::string& root, const SweepOptions& options);

}  // namespace orvc::scan
