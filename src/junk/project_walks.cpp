#include "junk/project_walks.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <memory>

#include "junk/paths.hpp"
#include "util/text.hpp"

namespace orvc::junk {
namespace {

enum class Step { kSkip, kEnter };

// Lists one folder through its descriptor (taken over) and calls `visit(path, name)` for every
// sub-folder that is not a link; entering opens the sub-folder relative to its parent.
template <typename Visit>
void walk_folder(int folder_fd, const std::string& folder_path, int depth, const Visit& visit) {
  std::unique_ptr<DIR, int (*)(DIR*)> folder(fdopendir(folder_fd), closedir);
  if (!folder) {
    close(folder_fd);
    return;
  }
  const int fd = dirfd(folder.get());
  while (const dirent* entry = readdir(folder.get())) {
    const std::string_view raw_name = entry->d_name;
    if (raw_name == "." || raw_name == "..") continue;
    bool is_folder = entry->d_type == DT_DIR;
    if (entry->d_type == DT_UNKNOWN) {
      struct stat metadata {};
      is_folder = fstatat(fd, entry->d_name, &metadata, AT_SYMLINK_NOFOLLOW) == 0 &&
                  S_ISDIR(metadata.st_mode);
    }
    if (!is_folder) continue;
    const std::string path = join_path(folder_path, raw_name);
    if (visit(path, lossy_utf8(raw_name)) == Step::kSkip || depth <= 1) continue;
    const int child = openat(fd, entry->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (child >= 0) walk_folder(child, path, depth - 1, visit);
  }
}

// The start folder itself may be a link (a root that links to a folder is searched).
template <typename Visit>
void walk(const std::string& start, int depth, const Visit& visit) {
  if (depth <= 0) return;
  const int fd = open(start.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) walk_folder(fd, start, depth, visit);
}

}  // namespace

void find_build_artifacts(const std::string& start, int depth,
                          std::vector<BuildArtifactCandidate>& out) {
  walk(start, depth, [&](const std::string& path, const std::string& name) {
    if (name == "node_modules") return Step::kSkip;
    if (const BuildArtifactRule* rule = match_build_rule(name, path)) {
      out.push_back({path, rule});
      return Step::kSkip;
    }
    return is_skipped_hidden_dir(name) ? Step::kSkip : Step::kEnter;
  });
}

void find_node_modules(const std::string& start, int depth, std::vector<std::string>& out) {
  walk(start, depth, [&](const std::string& path, const std::string& name) {
    if (name == "node_modules") {
      out.push_back(path);
      return Step::kSkip;
    }
    return is_skipped_hidden_dir(name) ? Step::kSkip : Step::kEnter;
  });
}

void find_pycache_dirs(const std::string& start, int depth, std::vector<std::string>& out) {
  walk(start, depth, [&](const std::string& path, const std::string& name) {
    if (is_skipped_hidden_dir(name) || name == "node_modules") return Step::kSkip;
    if (name == "__pycache__") {
      out.push_back(path);
      return Step::kSkip;
    }
    return Step::kEnter;
  });
}

void sort_unique_by_path(std::vector<std::string>& paths) {
  std::ranges::stable_sort(
      paths, [](const auto& a, const auto& b) { return compare_components(a, b) < 0; });
  const auto tail = std::ranges::unique(paths, same_components);
  paths.erase(tail.begin(), tail.end());
}

void sort_unique_by_path(std::vector<BuildArtifactCandidate>& candidates) {
  std::ranges::stable_sort(candidates, [](const auto& a, const auto& b) {
    return compare_components(a.path, b.path) < 0;
  });
  const auto tail = std::ranges::unique(
      candidates, [](const auto& a, const auto& b) { return same_components(a.path, b.path); });
  candidates.erase(tail.begin(), tail.end());
}

}  // namespace orvc::junk
