#include "junk/project_roots.hpp"

#include <oneapi/tbb/parallel_for.h>
#include <sys/stat.h>

#include <algorithm>

#include "junk/build_rules.hpp"
#include "junk/paths.hpp"
#include "platform/folder_stream.hpp"

namespace orvc::junk {
namespace {

bool holds_project(const std::string& folder) {
  FolderStream listing = FolderStream::open(folder);
  if (!listing) return false;
  for (size_t examined = 0; examined < kRootProbeEntryLimit; ++examined) {
    const dirent* entry = listing.next();
    if (entry == nullptr) return false;
    const char* name = entry->d_name;
    if (name[0] == '.') continue;
    const std::string inner = child_path(folder, name);
    if (is_folder(inner) && is_project_dir(inner)) return true;
  }
  return false;
}

}  // namespace

bool is_project_dir(const std::string& folder) {
  return exists(child_path(folder, "Cargo.toml")) || exists(child_path(folder, "package.json")) ||
         is_folder(child_path(folder, "target")) || is_folder(child_path(folder, "node_modules"));
}

std::vector<std::string> find_project_roots(const std::string& home) {
  std::vector<std::string> roots;
  const auto is_known = [&](const std::string& path) {
    return std::ranges::any_of(roots,
                               [&](const std::string& r) { return same_components(r, path); });
  };
  for (std::string_view name : PROJECT_ROOT_NAMES) {
    std::string candidate = child_path(home, name);
    if (is_folder(candidate) && !is_known(candidate)) roots.push_back(std::move(candidate));
  }
  std::vector<std::string> entries;
  if (FolderStream listing = FolderStream::open(home)) {
    while (const dirent* listed = listing.next()) {
      const char* name = listed->d_name;
      if (name[0] == '.' || std::string_view(name) == "Library") continue;
      std::string entry = child_path(home, name);
      if (!is_known(entry)) entries.push_back(std::move(entry));
    }
  }
  // Each entry costs a few metadata calls and perhaps a listing: side by side, a cold cache
  // sees them at once.
  std::vector<char> holds(entries.size(), 0);
  tbb::parallel_for(size_t{0}, entries.size(), [&](size_t i) {
    holds[i] = is_folder(entries[i]) && (is_project_dir(entries[i]) || holds_project(entries[i]));
  });
  for (size_t i = 0; i < entries.size(); ++i) {
    if (holds[i]) roots.push_back(std::move(entries[i]));
  }
  return roots;
}

}  // namespace orvc::junk
