#include "removal/trash_guard.hpp"

#include <sys/stat.h>

#include <mutex>
#include <optional>
#include <vector>

#include "platform/platform.hpp"
#include "safety/path_rules.hpp"

namespace orvc::removal {
namespace {

std::string canonical_or_lexical(const std::string& path) {
  return platform::canonical_path(path).value_or(safety::normalize_lexically(path));
}

std::vector<std::string> resolved_trash_folders(const platform::TrashLocation& trash) {
  static std::mutex lock;
  static std::string cached_root;
  static std::vector<std::string> cached;
  std::lock_guard hold(lock);
  if (cached_root != trash.root || cached.empty()) {
    cached = {canonical_or_lexical(trash.root), canonical_or_lexical(trash.files)};
    if (trash.info) cached.push_back(canonical_or_lexical(*trash.info));
    cached_root = trash.root;
  }
  return cached;
}

}  // namespace

bool holds_the_trash(const std::string& path, const platform::TrashLocation& trash) {
  struct stat metadata {};
  if (lstat(path.c_str(), &metadata) != 0 || !S_ISDIR(metadata.st_mode)) return false;
  const std::string absolute = safety::normalize_lexically(path);
  const std::string resolved = safety::resolve_existing_prefix(absolute).value_or(absolute);
  for (const auto& folder : resolved_trash_folders(trash)) {
    if (safety::path_starts_with_ci(folder, resolved)) return true;
  }
  return false;
}

}  // namespace orvc::removal
