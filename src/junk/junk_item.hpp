#pragma once
// The records the developer-junk scan returns, and the constructor used for most of its items.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orvc::junk {

struct JunkItem {
  std::string path;  // raw bytes of the OS path
  std::string name;  // display text (invalid UTF-8 replaced)
  std::string description;
  uint64_t size_bytes = 0;
  bool safe = false;         // true: handed to the cleanup executor by --apply
  bool git_tracked = false;  // build output holding files Git keeps, hence not safe
  // Build output, node_modules and __pycache__ belong to a project, whose files tell when the
  // item was last worked on; other items tell it by their own times.
  bool in_project = false;
  // Newest modification time that counts (seconds since the epoch), when it was asked for and
  // could be told for sure.
  std::optional<int64_t> last_activity;
};

struct JunkCategory {
  std::string name;
  std::string description;
  std::vector<JunkItem> items;  // largest first; equal sizes keep discovery order
  uint64_t total_bytes = 0;     // saturating sum of the items' sizes
};

// Whether --apply hands the item to the cleanup executor (JunkItem::safe).
enum class Safety { NeedsReview, Safe };

// An item for `path` when it exists (links followed), measured with disk_usage; nothing when its
// metadata cannot be read.
std::optional<JunkItem> make_junk_item(const std::string& path, std::string description,
                                       Safety safety);

// The same for a path whose usage is already known, so a candidate is measured only once.
std::optional<JunkItem> make_measured_junk_item(const std::string& path, std::string description,
                                                Safety safety, uint64_t size_bytes);

}  // namespace orvc::junk
