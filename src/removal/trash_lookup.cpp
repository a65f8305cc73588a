#include "removal/trash_lookup.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <oneapi/tbb/parallel_for.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <string_view>
#include <utility>

#include "platform/folder_stream.hpp"
#include "platform/home.hpp"
#include "removal/absolute_path.hpp"
#include "removal/path_names.hpp"
#include "removal/trash_choice.hpp"
#include "removal/trash_record.hpp"
#include "safety/path_rules.hpp"
#include "util/lexical_path.hpp"
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
  if (last_component(files_dir) == "files") return join_path(parent_of(files_dir), "info");
  return std::nullopt;
}

// Whether a record's Path is the path the manifest recorded. Relative and ".." paths were made
// absolute by the move itself, against a folder the manifest does not keep: their names must
// agree.
bool names_the_recorded_path(const std::string& record_path, const std::string& recorded) {
  if (!recorded.empty() && recorded.front() == '/' && !has_parent_marker(recorded)) {
    return safety::normalize_lexically(recorded) == record_path;
  }
  const auto recorded_name = last_component(recorded);
  return recorded_name && last_component(record_path) == recorded_name;
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
  // AT_FDCWD-relative use of the full path when the folder cannot be opened.
  int get(const std::string& path) {
    std::lock_guard hold(lock_);
    const auto found = fds_.find(path);
    if (found != fds_.end()) return found->second.get();
    UniqueFd fd(open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return fds_.emplace(path, std::move(fd)).first->second.get();
  }

 private:
  std::mutex lock_;
  std::map<std::string, UniqueFd> fds_;
};

// Where the manifest says the item went, before anything is looked up: the entry's folder and
// name, its record folder, and its original path when the manifest's is absolute.
RecordedItem placed(const DeletedFile& file, std::span<const platform::TrashLocation> trashes) {
  RecordedItem item;
  if (file.trash_path) {
    item.files_dir = parent_of(*file.trash_path);
    item.name = last_component(*file.trash_path).value_or("");
  } else if (file.trashed_name && !trashes.empty()) {
    item.files_dir = trashes.front().files;
    item.name = *file.trashed_name;
  }
  if (!file.original_path.empty() && file.original_path.front() == '/') {
    item.original = safety::normalize_lexically(file.original_path);
  }
  if (item.name.empty() || item.name.find('/') != std::string::npos) return item;
  item.info_dir = info_dir_for(item.files_dir, trashes);
  return item;
}

bool has_usable_name(const RecordedItem& item) {
  return !item.name.empty() && item.name.find('/') == std::string::npos;
}

RecordedItem locate_in(const DeletedFile& file, std::span<const platform::TrashLocation> trashes,
                       FolderHandles& folders) {
  RecordedItem item = placed(file, trashes);
  if (!has_usable_name(item)) return item;

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

namespace {

// Names packed in one buffer and found through an open-addressed table, so that a folder of
// half a million entries takes a few allocations.
class NameTable {
 public:
  struct Listed {
    unsigned char type;  // DT_UNKNOWN where the file system does not say
    uint64_t inode;
  };

  void add(std::string_view name, Listed listed) {
    if (entries_.size() + 1 >= (uint64_t{1} << 32)) return;  // beyond: counted as absent
    entries_.push_back({std::hash<std::string_view>{}(name), text_.size(), name.size(), listed});
    text_.append(name);
  }

  void clear() {
    entries_.clear();
    text_.clear();
    slots_.clear();
  }

  // Called once all names are added.
  void index() {
    size_t size = 16;
    while (size < entries_.size() * 2) size *= 2;
    slots_.assign(size, 0);
    for (size_t e = 0; e < entries_.size(); ++e) {
      size_t slot = entries_[e].hash & (size - 1);
      while (slots_[slot] != 0) slot = (slot + 1) & (size - 1);
      slots_[slot] = (entries_[e].hash & kHashBits) | (e + 1);
    }
  }

  // Nothing when the name is not listed.
  std::optional<Listed> find(std::string_view name) const {
    if (slots_.empty()) return std::nullopt;
    const size_t hash = std::hash<std::string_view>{}(name);
    const size_t mask = slots_.size() - 1;
    for (size_t slot = hash & mask; slots_[slot] != 0; slot = (slot + 1) & mask) {
      if ((slots_[slot] & kHashBits) != (hash & kHashBits)) continue;
      const Entry& entry = entries_[(slots_[slot] & ~kHashBits) - 1];
      if (entry.hash == hash &&
          std::string_view(text_).substr(entry.offset, entry.length) == name) {
        return entry.listed;
      }
    }
    return std::nullopt;
  }

 private:
  struct Entry {
    size_t hash;
    size_t offset;
    size_t length;
    Listed listed;
  };
  std::vector<Entry> entries_;
  std::string text_;
  // The hash's high half beside entry index + 1, so most other names are passed over without
  // reading their entry; 0 is a free slot.
  static constexpr uint64_t kHashBits = 0xffff'ffff'0000'0000;
  std::vector<uint64_t> slots_;
};

// A folder listed once: its entries' names and types (DT_UNKNOWN where the file system does not
// say), and the open folder for the few lookups the listing cannot answer. A record folder
// lists NAME for each NAME.trashinfo in it.
struct Listing {
  FolderStream dir;
  NameTable types;
  // Whether the listing's inode numbers are the entries' own: some file systems (overlays)
  // list others.
  bool inodes_trusted = false;
};

// Nothing is listed when the folder cannot be opened or read to its end, so that every entry
// in it counts as absent.
void list_folder(const std::string& path, bool records, Listing& listing) {
  listing.dir = FolderStream::open(path);
  if (!listing.dir) return;
  std::string probe;
  uint64_t probe_inode = 0;
  while (const dirent* entry = listing.dir.next()) {
    std::string_view name = entry->d_name;
    if (records) {
      if (name.size() <= kRecordSuffix.size() || !name.ends_with(kRecordSuffix)) continue;
      name.remove_suffix(kRecordSuffix.size());
    }
    if (probe.empty()) {
      probe = entry->d_name;
      probe_inode = entry->d_ino;
    }
    listing.types.add(name, {entry->d_type, entry->d_ino});
  }
  if (errno != 0) {
    listing.types.clear();
    listing.dir.reset();
    return;
  }
  listing.types.index();
  struct stat probed {};
  listing.inodes_trusted =
      !probe.empty() &&
      fstatat(listing.dir.fd(), probe.c_str(), &probed, AT_SYMLINK_NOFOLLOW) == 0 &&
      probed.st_ino == probe_inode;
}

// By folder, and whether it was listed as a record folder.
using Listings = std::map<std::pair<std::string, bool>, Listing>;

// Nothing for a folder that could not be listed.
const Listing* usable(const Listing* listing) {
  return listing && listing->dir ? listing : nullptr;
}

// Whether an item not shown still counts as in the Trash, from the folder listings alone where
// the manifest kept the inode numbers the move made: the entry listed under its name with the
// recorded inode, and on a Trash that keeps records, NAME.trashinfo listed with its recorded
// inode (a record written again, by anyone, is a new file). Older manifests fall back to the
// record's type and the entry's size. Items that are shown are looked up in full.
ItemState listed_state(const DeletedFile& file, const RecordedItem& item, const Listing* files,
                       const Listing* info) {
  if (!files) return ItemState::Gone;
  const auto entry = files->types.find(item.name);
  if (!entry) return ItemState::Gone;
  if (item.info_dir) {
    if (!info) return ItemState::Replaced;
    const auto record = info->types.find(item.name);
    if (!record) return ItemState::Replaced;
    if (file.record_inode && info->inodes_trusted) {
      if (record->inode != *file.record_inode) return ItemState::Replaced;
    } else if (record->type != DT_REG) {
      const std::string record_name = item.name + std::string(kRecordSuffix);
      struct stat record_stat {};
      if (record->type != DT_UNKNOWN ||
          fstatat(info->dir.fd(), record_name.c_str(), &record_stat, AT_SYMLINK_NOFOLLOW) != 0 ||
          !S_ISREG(record_stat.st_mode)) {
        return ItemState::Replaced;
      }
    }
  }
  if (file.trash_inode && files->inodes_trusted) {
    return entry->inode == *file.trash_inode ? ItemState::InTrash : ItemState::Replaced;
  }
  if (entry->type == DT_REG || entry->type == DT_UNKNOWN) {
    struct stat entry_stat {};
    if (fstatat(files->dir.fd(), item.name.c_str(), &entry_stat, AT_SYMLINK_NOFOLLOW) != 0) {
      return ItemState::Gone;
    }
    if (S_ISREG(entry_stat.st_mode) && static_cast<uint64_t>(entry_stat.st_size) != file.size) {
      return ItemState::Replaced;
    }
  }
  return ItemState::InTrash;
}

// A recorded path the record must be read for even when not shown: a relative or ".." one is
// made absolute only by the record.
bool needs_record_for_path(const DeletedFile& file) {
  return file.original_path.empty() || file.original_path.front() != '/' ||
         has_parent_marker(file.original_path);
}

}  // namespace

std::vector<std::vector<RecordedItem>> survey_sessions(
    std::span<const CleanupSession> sessions, std::span<const platform::TrashLocation> trashes,
    size_t exact_per_session) {
  std::vector<std::vector<RecordedItem>> located(sessions.size());
  std::vector<std::pair<size_t, size_t>> exact;
  std::vector<std::pair<size_t, size_t>> listed;
  for (size_t s = 0; s < sessions.size(); ++s) {
    const auto& files = sessions[s].deleted_files;
    located[s].resize(files.size());
    for (size_t i = 0; i < files.size(); ++i) {
      if (i < exact_per_session || needs_record_for_path(files[i])) {
        exact.emplace_back(s, i);
        continue;
      }
      located[s][i] = placed(files[i], trashes);
      if (has_usable_name(located[s][i])) listed.emplace_back(s, i);
    }
  }

  // Each item's folders, found once; neighbours in a run share them.
  Listings listings;
  std::vector<std::pair<Listing*, Listing*>> folders_of(listed.size(), {nullptr, nullptr});
  const std::string* previous_files = nullptr;
  const std::string* previous_info = nullptr;
  for (size_t k = 0; k < listed.size(); ++k) {
    const RecordedItem& item = located[listed[k].first][listed[k].second];
    if (k > 0 && *previous_files == item.files_dir &&
        (item.info_dir ? previous_info && *previous_info == *item.info_dir : !previous_info)) {
      folders_of[k] = folders_of[k - 1];
    } else {
      folders_of[k].first = &listings.try_emplace({item.files_dir, false}).first->second;
      if (item.info_dir) {
        folders_of[k].second = &listings.try_emplace({*item.info_dir, true}).first->second;
      }
    }
    previous_files = &item.files_dir;
    previous_info = item.info_dir ? &*item.info_dir : nullptr;
  }
  std::vector<std::pair<const std::pair<std::string, bool>*, Listing*>> folders;
  for (auto& [key, listing] : listings) folders.emplace_back(&key, &listing);
  tbb::parallel_for(size_t{0}, folders.size(), [&](size_t k) {
    list_folder(folders[k].first->first, folders[k].first->second, *folders[k].second);
  });

  tbb::parallel_for(size_t{0}, listed.size(), [&](size_t k) {
    const auto [s, i] = listed[k];
    RecordedItem& item = located[s][i];
    const auto [files, info] = folders_of[k];
    item.state = listed_state(sessions[s].deleted_files[i], item, usable(files), usable(info));
  });
  FolderHandles handles;
  tbb::parallel_for(size_t{0}, exact.size(), [&](size_t k) {
    const auto [s, i] = exact[k];
    located[s][i] = locate_in(sessions[s].deleted_files[i], trashes, handles);
  });
  return located;
}

RecordIndex index_trash_records(std::span<const platform::TrashLocation> trashes) {
  RecordIndex index;
  for (const auto& trash : trashes) {
    if (!trash.info) continue;
    FolderStream dir = FolderStream::open(*trash.info);
    if (!dir) continue;
    std::vector<std::string> names;
    while (const dirent* entry = dir.next()) {
      const std::string_view name = entry->d_name;
      if (name.size() > kRecordSuffix.size() && name.ends_with(kRecordSuffix)) {
        names.emplace_back(name.substr(0, name.size() - kRecordSuffix.size()));
      }
    }
    for (const auto& name : names) {
      struct stat entry {};
      if (lstat(join_path(trash.files, name).c_str(), &entry) != 0) continue;
      auto record = with_absolute_path(
          read_trash_record(dir.fd(), name + std::string(kRecordSuffix)), *trash.info);
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
