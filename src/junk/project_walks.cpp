#include "junk/project_walks.hpp"

#include <oneapi/tbb/parallel_for.h>
#include <sys/stat.h>

#include <algorithm>
#include <iterator>

#include "junk/paths.hpp"
#include "platform/folder_stream.hpp"
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

// Calls `visit(path, name, found)` for every sub-folder (never a link) down to `depth` levels;
// entering opens a sub-folder relative to its parent. A walk that can only act on one name at its
// last level (`last_level_name`) probes that name instead of listing the whole folder: leaf
// folders of big trees then cost one metadata call. Sub-folders are walked side by side, so that
// a cold cache sees many reads at once, and what `visit` adds to `found` comes out in the order
// of a walk that enters each sub-folder before the next one's turn.
template <typename Found, typename Visit>
class FolderWalk {
 public:
  FolderWalk(const Visit& visit, std::string_view last_level_name)
      : visit_(visit), last_level_name_(last_level_name) {}

  // The start folder itself may be a link (a root that links to a folder is searched).
  void run(const std::string& start, int depth, std::vector<Found>& found) const {
    if (depth <= 0) return;
    UniqueFd fd(open(start.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd) std::ranges::move(walk_folder(std::move(fd), start, depth), std::back_inserter(found));
  }

 private:
  struct SubFolder {
    std::string raw_name;
    std::string path;
    size_t found_before;  // what the folder's own visits had added by then
  };

  std::vector<Found> walk_folder(UniqueFd folder_fd, const std::string& folder_path,
                                 int depth) const {
    std::vector<Found> found;
    if (stop_requested()) return found;
    FolderStream folder(std::move(folder_fd));
    if (!folder) return found;
    const int fd = folder.fd();
    std::vector<SubFolder> entered;
    while (const dirent* entry = folder.next()) {
      const std::string_view raw_name = entry->d_name;
      if (entry->d_type != DT_DIR &&
          (entry->d_type != DT_UNKNOWN || !is_real_folder(fd, entry->d_name))) {
        continue;
      }
      std::string path = join_path(folder_path, raw_name);
      if (visit_(path, lossy_utf8(raw_name), found) == Step::Skip || depth <= 1) continue;
      entered.push_back({std::string(raw_name), std::move(path), found.size()});
    }

    std::vector<std::vector<Found>> below(entered.size());
    tbb::parallel_for(size_t{0}, entered.size(), [&](size_t i) {
      const SubFolder& sub = entered[i];
      if (depth == 2 && !last_level_name_.empty()) {
        probe_last_level(fd, sub.raw_name, sub.path, below[i]);
        return;
      }
      UniqueFd child(openat(fd, sub.raw_name.c_str(), kFolderOpenFlags));
      if (child) below[i] = walk_folder(std::move(child), sub.path, depth - 1);
    });
    if (entered.empty()) return found;

    std::vector<Found> ordered;
    size_t taken = 0;
    for (size_t i = 0; i < entered.size(); ++i) {
      const auto next = found.begin() + static_cast<std::ptrdiff_t>(entered[i].found_before);
      std::move(found.begin() + static_cast<std::ptrdiff_t>(taken), next,
                std::back_inserter(ordered));
      taken = entered[i].found_before;
      std::ranges::move(below[i], std::back_inserter(ordered));
    }
    std::move(found.begin() + static_cast<std::ptrdiff_t>(taken), found.end(),
              std::back_inserter(ordered));
    return ordered;
  }

  void probe_last_level(int parent_fd, const std::string& folder_name,
                        const std::string& folder_path, std::vector<Found>& found) const {
    const std::string relative = folder_name + "/" + std::string(last_level_name_);
    if (is_real_folder(parent_fd, relative.c_str())) {
      visit_(join_path(folder_path, last_level_name_), std::string(last_level_name_), found);
    }
  }

  const Visit& visit_;
  std::string_view last_level_name_;
};

template <typename Found, typename Visit>
void walk(const std::string& start, int depth, std::string_view last_level_name,
          std::vector<Found>& found, const Visit& visit) {
  FolderWalk<Found, Visit>(visit, last_level_name).run(start, depth, found);
}

}  // namespace

void find_build_artifacts(const std::string& start, int depth,
                          std::vector<BuildArtifactCandidate>& out) {
  walk(start, depth, {}, out, [](const std::string& path, const std::string& name, auto& found) {
    if (name == "node_modules") return Step::Skip;
    if (const BuildArtifactRule* rule = match_build_rule(name, path)) {
      found.push_back({path, rule});
      return Step::Skip;
    }
    return is_skipped_hidden_dir(name) ? Step::Skip : Step::Enter;
  });
}

void find_node_modules(const std::string& start, int depth, std::vector<std::string>& out) {
  walk(start, depth, "node_modules", out,
       [](const std::string& path, const std::string& name, auto& found) {
         if (name == "node_modules") {
           found.push_back(path);
           return Step::Skip;
         }
         return is_skipped_hidden_dir(name) ? Step::Skip : Step::Enter;
       });
}

void find_pycache_dirs(const std::string& start, int depth, std::vector<std::string>& out) {
  walk(start, depth, "__pycache__", out,
       [](const std::string& path, const std::string& name, auto& found) {
         if (is_skipped_hidden_dir(name) || name == "node_modules") return Step::Skip;
         if (name == "__pycache__") {
           found.push_back(path);
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
