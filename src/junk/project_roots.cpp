#include "junk/project_roots.hpp"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>

#include "junk/build_rules.hpp"
#include "junk/paths.hpp"

namespace orvc::junk {
namespace {

using FolderStream = std::unique_ptr<DIR, int (*)(DIR*)>;

FolderStream open_folder(const std::string& path) {
  return FolderStream(opendir(path.c_str()), closedir);
}

// The next entry name other than "." and ".."; nullptr at the end or on a read error.
const char* next_entry_name(DIR* folder) {
  while (const dirent* entry = readdir(folder)) {
    const std::string_view name = entry->d_name;
    if (name != "." && name != "..") return entry->d_name;
  }
  return nullptr;
}

bool holds_project(const std::string& folder) {
  FolderStream listing = open_folder(folder);
  if (!listing) return false;
  for (size_t examined = 0; examined < ROOT_PROBE_ENTRY_LIMIT; ++examined) {
    const char* name = next_entry_name(listing.get());
    if (name == nullptr) return false;
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
  FolderStream listing = open_folder(home);
  if (!listing) return roots;
  while (const char* name = next_entry_name(listing.get())) {
    if (name[0] == '.' || std::string_view(name) == "Library") continue;
    std::string entry = child_path(home, name);
    if (!is_folder(entry) || is_known(entry)) continue;
    if (is_project_dir(entry) || holds_project(entry)) roots.push_back(std::move(entry));
  }
  return roots;
}

}  // namespace orvc::junk
