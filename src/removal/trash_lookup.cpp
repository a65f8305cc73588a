#include "removal/trash_lookup.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <oneapi/tbb/parallel_for.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <mutex>

#include "platform/home.hpp"
#include "removal/absolute_path.hpp"
#include "removal/dir_handle.hpp"
#include "removal/path_names.hpp"
#include "removal/trash_choice.hpp"
#include "removal/trash_record.hpp"
#include "safety/path_rules.hpp"
#include "util/text.hpp"

namespace orvc::removal {
namespace {

constexpr std::string_view kRecordSuffix = ".trashinfo";

// The record folder of a Trash files folder: the search list's, else the freedesktop sibling.
std::optional<std::string> info_dir_for(const std::string& files_dir,
                                        std::span<const platform::TrashLocation> trashes) {
  for (const auto& trash : trashes) {
    if (trash.files == files_dir) return trash.info;
  }
  if (last_normal_component(files_dir) == "files") return join_path(parent_of(files_dir), "info");
  return std::nullopt;
}

// Whether a record's Path is the path the manifest recorded. Relative and ".." paths were made
// absolute by the move itself, against a folder the manifest does not keep: their names must
// agree.
bool names_the_recorded_path(const std::string& record_path, const std::string& recorded) {
  if (!recorded.empty() && recorded.front() == '/' && !has_parent_marker(recorded)) {
    return safety::normalize_lexically(recorded) == record_path;
  }
  const auto recorded_name = last_normal_component(recorded);
  return recorded_name && last_normal_component(record_path) == recorded_name;
}

RecordedItem replaced(RecordedItem item, std::string because) {
  item.state = ItemState::Replaced;
  item.replaced_because = std::move(because);
  return item;
}

// A volume Trash's record names its item relative to the volume's top folder.
Result<TrashRecord> with_absolute_path(Result<TrashRecord> record, const std::string& info_dir) {
  if (record && record->original_path.front() != '/') {
    record->original_path = join_path(volume_top_of_info_folder(info_dir), record->original_path);
  }
  return record;
}

}  // namespace

std::vector<platform::TrashLocation> trash_search_list(std::span<const std::string> near_paths) {
  std::vector<platform::TrashLocation> trashes;
  const auto home = home_env();
  if (auto user = platform::user_trash(home.value_or(""))) trashes.push_back(std::move(*user));
  for (const std::string& path : near_paths) {
    for (auto& trash : volume_trashes_for(path, home.value_or("/"))) {
      const bool known = std::any_of(trashes.begin(), trashes.end(),
                                     [&](const auto& t) { return t.files == trash.files; });
      if (!known) trashes.push_back(std::move(trash));
    }
  }
  return trashes;
}

std::string absolute_normalised(const std::string& path) {
  return safety::normalize_lexically(lexically_absolute(path).value_or(path));
}

namespace {

// Folders opened once for many lookups, so each lookup resolves one name instead of a path.
class FolderHandles {
 public:
  FolderHandles() = default;
  FolderHandles(const FolderHandles&) = delete;
  FolderHandles& operator=(const FolderHandles&) = delete;
  ~FolderHandles() {
    for (const auto& [path, fd] : fds_) {
      if (fd >= 0) close(fd);
    }
  }

  // AT_FDCWD-relative use of the full path when the folder cannot be opened.
  int get(const std::string& path) {
    std::lock_guard hold(lock_);
    const auto found = fds_.find(path);
    if (found != fds_.end()) return found->second;
    const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    fds_.emplace(path, fd);
    return fd;
  }

 private:
  std::mutex lock_;
  std::map<std::string, int> fds_;
};

RecordedItem locate_in(const DeletedFile& file, std::span<const platform::TrashLocation> trashes,
                       FolderHandles& folders) {
  RecordedItem item;
  if (file.trash_path) {
    item.files_dir = parent_of(*file.trash_path);
    item.name = last_normal_component(*file.trash_path).value_or("");
  } else if (file.trashed_name && !trashes.empty()) {
    item.files_dir = trashes.front().files;
    item.name = *file.trashed_name;
  }
  if (!file.original_path.empty() && file.original_path.front() == '/') {
    item.original = safety::normalize_lexically(file.original_path);
  }
  if (item.name.empty() || item.name.find('/') != std::string::npos) return item;
  item.info_dir = info_dir_for(item.files_dir, trashes);

  struct stat entry {};
  const int files_fd = folders.get(item.files_dir);
  if (files_fd < 0 || fstatat(files_fd, item.name.c_str(), &entry, AT_SYMLINK_NOFOLLOW) != 0) {
    return item;
  }
  item.state = ItemState::InTrash;
  if (item.info_dir) {
    const int info_fd = folders.get(*item.info_dir);
    auto record = with_absolute_path(
        info_fd < 0 ? failure("no record folder")
                    : read_trash_record(info_fd, item.name + std::string(kRecordSuffix)),
        *item.info_dir);
    if (!record) return replaced(std::move(item), "its Trash record is missing or unreadable");
    if (!names_the_recorded_path(record->original_path, file.original_path)) {
      return replaced(std::move(item),
                      "its Trash record names '" + lossy_utf8(record->original_path) + "'");
    }
    item.original = record->original_path;
    item.deletion_date = record->deletion_date;
  }
  if (S_ISREG(entry.st_mode) && static_cast<uint64_t>(entry.st_size) != file.size) {
    return replaced(std::move(item), "its size is not the recorded size");
  }
  return item;
}

}  // namespace

RecordedItem locate_recorded(const DeletedFile& file,
                             std::span<const platform::TrashLocation> trashes) {
  FolderHandles folders;
  return locate_in(file, trashes, folders);
}

std::vector<std::vector<RecordedItem>> locate_sessions(
    std::span<const CleanupSession> sessions, std::span<const platform::TrashLocation> trashes) {
  std::vector<std::vector<RecordedItem>> located(sessions.size());
  std::vector<std::pair<size_t, size_t>> work;
  for (size_t s = 0; s < sessions.size(); ++s) {
    located[s].resize(sessions[s].deleted_files.size());
    for (size_t i = 0; i < sessions[s].deleted_files.size(); ++i) work.emplace_back(s, i);
  }
  FolderHandles folders;
  tbb::parallel_for(size_t{0}, work.size(), [&](size_t k) {
    const auto [s, i] = work[k];
    located[s][i] = locate_in(sessions[s].deleted_files[i], trashes, folders);
  });
  return located;
}

RecordIndex index_trash_records(std::span<const platform::TrashLocation> trashes) {
  RecordIndex index;
  for (const auto& trash : trashes) {
    if (!trash.info) continue;
    DirHandle dir(opendir(trash.info->c_str()));
    if (!dir) continue;
    std::vector<std::string> names;
    while (const dirent* entry = readdir(dir.get())) {
      const std::string_view name = entry->d_name;
      if (name.size() > kRecordSuffix.size() && name.ends_with(kRecordSuffix)) {
        names.emplace_back(name.substr(0, name.size() - kRecordSuffix.size()));
      }
    }
    for (const auto& name : names) {
      struct stat entry {};
      if (lstat(join_path(trash.files, name).c_str(), &entry) != 0) continue;
      auto record = with_absolute_path(
          read_trash_record(dirfd(dir.get()), name + std::string(kRecordSuffix)), *trash.info);
      if (!record) continue;
      RecordedItem item;
      item.state = ItemState::InTrash;
      item.files_dir = trash.files;
      item.name = name;
      item.info_dir = trash.info;
      item.original = record->original_path;
      item.deletion_date = record->deletion_date;
      index[record->original_path].push_back(std::move(item));
    }
  }
  for (auto& [path, items] : index) {
    std::stable_sort(items.begin(), items.end(), [](const RecordedItem& a, const RecordedItem& b) {
      return a.deletion_date > b.deletion_date;
    });
  }
  return index;
}

}  // namespace orvc::removal
