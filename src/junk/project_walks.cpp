#include "junk/project_walks.hpp"

#include <sys/stat.h>

#include <algorithm>

#include "junk/paths.hpp"
#include "util/folder_stream.hpp"
#include "util/stop_request.hpp"
#include "util/text.hpp"

namespace orvc::junk {
namespace {

enum class Step { Skip, Enter };

bool is_real_folder(int parent_fd, const char* relative) {
  struct stat metadata {};
  return fstatat(parent_fd, relative, &metadata, AT_SYMLINK_NOFOLLOW) == 0 &&
         S_ISDIR(metadata.st_mode);
}

// Calls `visit(path, name)` for every sub-folder (never a link) down to `depth` levels; entering
// opens a sub-folder relative to its parent. A walk that can only act on one name at its last
// level (`last_level_name`) probes that name instead of listing the whole folder: leaf folders
// of big trees then cost one metadata call.
template <typename Visit>
class FolderWalk {
 public:
  FolderWalk(const Visit& visit, std::string_view last_level_name)
      : visit_(visit), last_level_name_(last_level_name) {}

  // The start folder itself may be a link (a root that links to a folder is searched).
  void run(const std::string& start, int depth) const {
    if (depth <= 0) return;
    UniqueFd fd(open(start.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd) walk_folder(std::move(fd), start, depth);
  }

 private:
  void walk_folder(UniqueFd folder_fd, const std::string& folder_path, int depth) const {
    if (stop_requested()) return;
    FolderStream folder(std::move(folder_fd));
    if (!folder) return;
    const int fd = folder.fd();
    while (const dirent* entry = folder.next()) {
      const std::string_view raw_name = entry->d_name;
      if (entry->d_type != DT_DIR &&
          (entry->d_type != DT_UNKNOWN || !is_real_folder(fd, entry->d_name))) {
        continue;
      }
      const std::string path = join_path(folder_path, raw_name);
      if (visit_(path, lossy_utf8(raw_name)) == Step::Skip || depth <= 1) continue;
      if (depth == 2 && !last_level_name_.empty()) {
        probe_last_level(fd, raw_name, path);
        continue;
      }
      UniqueFd child(openat(fd, entry->d_name, kFolderOpenFlags));
      if (child) walk_folder(std::move(child), path, depth - 1);
    }
  }

  void probe_last_level(int parent_fd, std::string_view folder_name,
                        const std::string& folder_path) const {
    std::string relative(folder_name);
    relative.push_back('/');
    relative.append(last_level_name_);
    if (is_real_folder(parent_fd, relative.c_str())) {
      visit_(join_path(folder_path, last_level_name_), std::string(last_level_name_));
    }
  }

  const Visit& visit_;
  std::string_view last_level_name_;
};

template <typename Visit>
void walk(const std::string& start, int depth, std::string_view last_level_name,
          const Visit& visit) {
  FolderWalk<Visit>(visit, last_level_name).run(start, depth);
}

}  // namespace

void find_build_artifacts(const std::string& start, int depth,
                          std::vector<BuildArtifactCandidate>& out) {
  walk(start, depth, {}, [&](const std::string& path, const std::string& name) {
    if (name == "node_modules") return Step::Skip;
    if (const BuildArtifactRule* rule = match_build_rule(name, path)) {
      out.push_back({path, rule});
      return Step::Skip;
    }
    return is_skipped_hidden_dir(name) ? Step::Skip : Step::Enter;
  });
}

void find_node_modules(const std::string& start, int depth, std::vector<std::string>& out) {
  walk(start, depth, "node_modules", [&](const std::string& path, const std::string& name) {
    if (name == "node_modules") {
      out.push_back(path);
      return Step::Skip;
    }
    return is_skipped_hidden_dir(name) ? Step::Skip : Step::Enter;
  });
}

void find_pycache_dirs(const std::string& start, int depth, std::vector<std::string>& out) {
  walk(start, depth, "__pycache__", [&](const std::string& path, const std::string& name) {
    if (is_skipped_hidden_dir(name) || name == "node_modules") return Step::Skip;
    if (name == "__pycache__") {
      out.push_back(path);
      return Step::Skip;
    }
    return Step::Enter;
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
