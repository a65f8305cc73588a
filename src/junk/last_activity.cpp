#include "junk/last_activity.hpp"

#include <fcntl.h>
#include <oneapi/tbb/parallel_for.h>
#include <oneapi/tbb/parallel_for_each.h>
#include <oneapi/tbb/parallel_invoke.h>
#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <limits>
#include <map>

#include "junk/build_rules.hpp"
#include "junk/paths.hpp"
#include "platform/folder_stream.hpp"
#include "util/text.hpp"
#include "util/unique_fd.hpp"

namespace orvc::junk {
namespace {

enum class JunkFolders { Enter, LeaveOut };

bool is_junk_folder(std::string_view name, const std::string& path) {
  return name == "node_modules" || name == "__pycache__" || match_build_rule(name, path);
}

// The newest modification time of one tree. Sub-folders are walked in parallel; the answer is
// a maximum, so it does not depend on the order they finish in. Once the answer is known to
// be unknown, the walk stops.
class NewestTime {
 public:
  NewestTime(JunkFolders junk, size_t entry_limit) : junk_(junk), entry_limit_(entry_limit) {}

  std::optional<int64_t> of_folder(UniqueFd folder_fd, const std::string& path) {
    struct stat metadata {};
    if (fstat(folder_fd.get(), &metadata) != 0) return std::nullopt;
    note(metadata.st_mtime);
    walk(std::move(folder_fd), path);
    return result();
  }

  void note(int64_t mtime) {
    int64_t seen = newest_.load(std::memory_order_relaxed);
    while (mtime > seen && !newest_.compare_exchange_weak(seen, mtime, std::memory_order_relaxed)) {
    }
  }

  std::optional<int64_t> result() const {
    if (unknown_.load()) return std::nullopt;
    return newest_.load();
  }

 private:
  void give_up() { unknown_.store(true, std::memory_order_relaxed); }
  bool gave_up() const { return unknown_.load(std::memory_order_relaxed); }

  void walk(UniqueFd folder_fd, const std::string& path) {
    FolderStream folder(std::move(folder_fd));
    if (!folder) return give_up();
    const int fd = folder.fd();
    std::vector<std::string> subfolders;
    while (!gave_up()) {
      const dirent* entry = folder.next();
      if (entry == nullptr) {
        if (errno != 0) give_up();
        break;
      }
      const std::string_view name = entry->d_name;
      if (entries_.fetch_add(1, std::memory_order_relaxed) >= entry_limit_) return give_up();
      struct stat metadata {};
      if (fstatat(fd, entry->d_name, &metadata, AT_SYMLINK_NOFOLLOW) != 0) return give_up();
      if (S_ISDIR(metadata.st_mode)) {
        if (junk_ == JunkFolders::LeaveOut && is_junk_folder(name, join_path(path, name))) {
          continue;
        }
        subfolders.emplace_back(name);
      }
      note(metadata.st_mtime);
    }
    if (gave_up()) return;
    tbb::parallel_for_each(subfolders, [&](const std::string& name) {
      UniqueFd child(openat(fd, name.c_str(), kFolderOpenFlags));
      if (!child) return give_up();
      walk(std::move(child), join_path(path, name));
    });
  }

  const JunkFolders junk_;
  const size_t entry_limit_;
  std::atomic<int64_t> newest_{std::numeric_limits<int64_t>::min()};
  std::atomic<size_t> entries_{0};
  std::atomic<bool> unknown_{false};
};

}  // namespace

std::string project_folder_of(const std::string& item_path, const std::string& home) {
  const std::optional<std::string_view> folder = parent_path(item_path);
  if (!folder) return item_path;
  for (std::optional<std::string_view> candidate = folder;
       candidate && !candidate->empty() && *candidate != "/" && !same_components(*candidate, home);
       candidate = parent_path(*candidate)) {
    if (exists(child_path(*candidate, ".git"))) return std::string(*candidate);
  }
  return std::string(*folder);
}

std::optional<int64_t> project_activity(const std::string& project) {
  // The project folder itself may be reached through a link (a project root may be one).
  UniqueFd fd(open(project.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!fd) return std::nullopt;
  return NewestTime(JunkFolders::LeaveOut, kProjectActivityEntryLimit)
      .of_folder(std::move(fd), project);
}

std::optional<int64_t> own_activity(const std::string& path) {
  struct stat metadata {};
  if (lstat(path.c_str(), &metadata) != 0) return std::nullopt;
  if (!S_ISDIR(metadata.st_mode)) return metadata.st_mtime;
  UniqueFd fd(open(path.c_str(), kFolderOpenFlags));
  if (!fd) return std::nullopt;
  return NewestTime(JunkFolders::Enter, std::numeric_limits<size_t>::max())
      .of_folder(std::move(fd), path);
}

void note_last_activity(std::vector<JunkItem>& items, const std::string& home) {
  std::vector<std::optional<std::string>> projects(items.size());
  tbb::parallel_for(size_t{0}, items.size(), [&](size_t i) {
    if (items[i].in_project) projects[i] = project_folder_of(items[i].path, home);
  });
  std::map<std::string, std::optional<int64_t>> activity_by_project;
  for (const auto& project : projects) {
    if (project) activity_by_project.try_emplace(*project);
  }
  std::vector<std::map<std::string, std::optional<int64_t>>::value_type*> walks;
  for (auto& entry : activity_by_project) walks.push_back(&entry);
  tbb::parallel_invoke(
      [&] {
        tbb::parallel_for_each(walks,
                               [](auto* walk) { walk->second = project_activity(walk->first); });
      },
      [&] {
        tbb::parallel_for(size_t{0}, items.size(), [&](size_t i) {
          if (!items[i].in_project) items[i].last_activity = own_activity(items[i].path);
        });
      });
  for (size_t i = 0; i < items.size(); ++i) {
    if (projects[i]) items[i].last_activity = activity_by_project.at(*projects[i]);
  }
}

}  // namespace orvc::junk
