#include "removal/trash_choice.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <mutex>

#include "removal/file_ops.hpp"
#include "removal/path_names.hpp"
#include "removal/trash_tidy.hpp"
#include "util/lexical_path.hpp"

namespace orvc::removal {
namespace {

std::optional<dev_t> device_of(const std::string& path) {
  struct stat metadata {};
  if (stat(path.c_str(), &metadata) != 0) return std::nullopt;
  return metadata.st_dev;
}

// The home folder and its Trash are asked about on every move; their volumes do not change
// during a run.
std::optional<dev_t> remembered_device_of(const std::string& path) {
  static std::mutex lock;
  static std::map<std::string, dev_t> known;
  {
    std::lock_guard hold(lock);
    if (const auto found = known.find(path); found != known.end()) return found->second;
  }
  const auto device = device_of(path);
  if (device) {
    std::lock_guard hold(lock);
    known.emplace(path, *device);
  }
  return device;
}

// The highest folder from `folder` up that is still on `device`: the volume's mount point.
std::string top_folder_of(std::string folder, dev_t device) {
  while (folder != "/") {
    const std::string parent = parent_of(folder);
    if (device_of(parent) != device) break;
    folder = parent;
  }
  return folder;
}

// A folder of the user's own, not a link; made private when missing.
bool own_folder(const std::string& path) {
  struct stat metadata {};
  if (lstat(path.c_str(), &metadata) != 0) {
    if (errno != ENOENT || (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)) return false;
    if (lstat(path.c_str(), &metadata) != 0) return false;
  }
  return S_ISDIR(metadata.st_mode) && metadata.st_uid == getuid();
}

bool sticky_folder(const std::string& path) {
  struct stat metadata {};
  return lstat(path.c_str(), &metadata) == 0 && S_ISDIR(metadata.st_mode) &&
         (metadata.st_mode & S_ISVTX) != 0;
}

std::optional<platform::TrashLocation> usable_volume_trash(const std::string& top_folder,
                                                           dev_t device) {
  for (const auto& choice : platform::volume_trash_choices(top_folder)) {
    if (choice.shared_parent && !sticky_folder(*choice.shared_parent)) continue;
    if (!own_folder(choice.root) || device_of(choice.root) != device) continue;
    platform::TrashLocation trash = platform::trash_location_at(choice.root);
    if (trash.files != trash.root && !own_folder(trash.files)) continue;
    if (trash.info && !own_folder(*trash.info)) continue;
    return trash;
  }
  return std::nullopt;
}

}  // namespace

ChosenTrash choose_trash(const platform::TrashLocation& home_trash, const std::string& home,
                         const std::string& item_folder, dev_t item_device) {
  const ChosenTrash home_choice{home_trash, std::nullopt};
  if (remembered_device_of(home_trash.files) == item_device ||
      remembered_device_of(home) == item_device) {
    return home_choice;
  }
  // An item that is itself a mount point has no volume Trash to go to.
  if (device_of(item_folder) != item_device) return home_choice;
  static std::mutex lock;
  static std::map<dev_t, std::optional<ChosenTrash>> decided;
  std::lock_guard hold(lock);
  if (const auto known = decided.find(item_device); known != decided.end()) {
    if (!known->second) return home_choice;
    if (entry_exists(known->second->location.files)) return *known->second;
  }
  std::optional<ChosenTrash> chosen;
  const std::string top = top_folder_of(item_folder, item_device);
  // A Trash folder at the top of the root volume would be everybody's: never made.
  if (top != "/") {
    if (auto trash = usable_volume_trash(top, item_device)) {
      tidy_trash_leftovers(*trash);
      chosen = ChosenTrash{*trash, top};
    }
  }
  decided[item_device] = chosen;
  return chosen.value_or(home_choice);
}

std::vector<platform::TrashLocation> volume_trashes_for(const std::string& path,
                                                        const std::string& home) {
  std::vector<platform::TrashLocation> trashes;
  std::string folder = path;
  struct stat metadata {};
  while (lstat(folder.c_str(), &metadata) != 0 && folder != "/") folder = parent_of(folder);
  if (folder == "/" || device_of(home) == metadata.st_dev) return trashes;
  const std::string top = top_folder_of(folder, metadata.st_dev);
  if (top == "/") return trashes;
  for (const auto& choice : platform::volume_trash_choices(top)) {
    auto trash = platform::trash_location_at(choice.root);
    if (entry_exists(trash.files)) trashes.push_back(std::move(trash));
  }
  return trashes;
}

std::string volume_top_of_info_folder(const std::string& info_folder) {
  const std::string root = parent_of(info_folder);
  const std::string holder = parent_of(root);
  // $topdir/.Trash/$uid keeps its records one level deeper than $topdir/.Trash-$uid.
  if (last_component(holder) == ".Trash") return parent_of(holder);
  return holder;
}

std::string record_path(const ChosenTrash& chosen, const std::string& original_path) {
  if (!chosen.top_folder) return original_path;
  return original_path.substr(chosen.top_folder->size() + 1);
}

}  // namespace orvc::removal
