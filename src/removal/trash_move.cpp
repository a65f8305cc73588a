#include "removal/trash_move.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <ctime>
#include <mutex>
#include <optional>

#include "platform/home.hpp"
#include "platform/platform.hpp"
#include "removal/absolute_path.hpp"
#include "removal/copy_tree.hpp"
#include "removal/file_ops.hpp"
#include "removal/path_names.hpp"
#include "removal/trash.hpp"
#include "removal/trash_choice.hpp"
#include "removal/trash_guard.hpp"
#include "removal/trash_info.hpp"
#include "removal/trash_slot.hpp"
#include "safety/cloud_sync.hpp"
#include "safety/path_rules.hpp"
#include "safety/protection.hpp"
#include "util/file_identity.hpp"
#include "util/text.hpp"

namespace orvc::removal {
namespace {

std::unexpected<MoveFailure> refused(std::string message) {
  return std::unexpected(MoveFailure{true, std::move(message)});
}

std::unexpected<MoveFailure> failed(std::string message) {
  return std::unexpected(MoveFailure{false, std::move(message)});
}

Status create_trash_folders(const platform::TrashLocation& trash) {
  ORVC_TRY(create_folders(trash.files, 0777));
  if (trash.info) ORVC_TRY(create_folders(*trash.info, 0777));
  return {};
}

// Every move needs the Trash folders, and they nearly always exist: once this process has made
// sure of them it asks no more, until a move finds them gone.
class TrashFolders {
 public:
  Status ensure(const platform::TrashLocation& trash) {
    {
      std::lock_guard hold(lock_);
      if (ensured_ == trash.files) return {};
    }
    ORVC_TRY(create_trash_folders(trash));
    std::lock_guard hold(lock_);
    ensured_ = trash.files;
    return {};
  }

  Status ensure_again(const platform::TrashLocation& trash) {
    {
      std::lock_guard hold(lock_);
      ensured_.clear();
    }
    return ensure(trash);
  }

 private:
  std::mutex lock_;
  std::string ensured_;  // the files folder made sure of
};

bool trash_folders_present(const platform::TrashLocation& trash) {
  return entry_exists(trash.files) && (!trash.info || entry_exists(*trash.info));
}

TrashFolders& trash_folders() {
  static TrashFolders folders;
  return folders;
}

// Whether the pinned folder still is the one at its resolved path: a swap or a link put in
// its place since it was opened shows as another device or inode.
bool folder_still_in_place(const PinnedItem& item) {
  struct stat metadata {};
  return stat(item.folder_path.c_str(), &metadata) == 0 &&
         identity_of(metadata) == item.folder_identity;
}

// Trash tools list only entries with a record, so a copy in the making is invisible under
// this name; the number of the process that writes it lets a later run tell a leftover.
std::string partial_copy_name() {
  static std::atomic<unsigned> counter{0};
  return std::string(kPartialCopyPrefix) + std::to_string(getpid()) + "-" +
         std::to_string(counter++);
}

// The item is on another volume than its Trash: copy it under a partial name, put the whole
// copy in place, then remove from the item only what was copied and has not changed since.
// Called with trash_lock held. A failure before the copy is in place leaves the item whole and
// no copy behind (or says why the copy could not be removed).
Status copy_across_volumes(const PinnedItem& item, const platform::TrashLocation& trash,
                           int trash_folder, const TrashSlot& slot) {
  const std::string partial = partial_copy_name();
  const std::string partial_path = join_path(trash.files, partial);
  const auto discard_partial = [&](std::string message) {
    if (auto removed = remove_tree_at(trash_folder, partial, partial_path); !removed) {
      message += "; the partial copy '" + lossy_utf8(partial_path) +
                 "' could not be removed: " + removed.error();
    }
    return failure(std::move(message));
  };
  // Nothing is copied unless all of the item can be removed afterwards.
  ORVC_TRY(check_removable_tree_at(item.folder.get(), item.name, item.resolved));
  auto copied = copy_tree_at(item.folder.get(), item.name, trash_folder, partial, item.resolved);
  if (!copied) return discard_partial(std::move(copied.error()));
  if (auto named = platform::rename_no_replace_at(trash_folder, partial.c_str(), trash_folder,
                                                  slot.name.c_str());
      !named) {
    return discard_partial("cannot name the copy '" + lossy_utf8(slot.name) +
                           "': " + os_error_text(named.error()));
  }
  // From here on the copy in the Trash is whole; it stays even if removing the source fails.
  // What changed in the source while it was copied is not in the copy, so it stays too.
  return remove_copied_at(item.folder.get(), item.name, *copied, item.resolved);
}

}  // namespace

std::expected<PinnedItem, MoveFailure> pin_item(const std::string& absolute_path) {
  const auto split = split_item_path(absolute_path);
  if (!split) return refused("target has no file name");
  PinnedItem item;
  item.name = split->name;
  // The usual folder text has no link, "." or ".." in it: opening it without passing through a
  // link both resolves and pins it. Anything else is resolved first.
  item.folder.reset(platform::open_folder_without_links(split->folder));
  if (item.folder && platform::canonical_path_form(split->folder)) {
    item.folder_path = split->folder;
  } else {
    errno = 0;
    const auto folder = platform::canonical_path(split->folder);
    if (!folder) {
      return refused("cannot resolve '" + lossy_utf8(split->folder) +
                     "': " + os_error_text(errno != 0 ? errno : ENOENT));
    }
    item.folder_path = *folder;
    item.folder.reset(platform::open_folder_without_links(item.folder_path));
  }
  struct stat metadata {};
  if (!item.folder || fstat(item.folder.get(), &metadata) != 0) {
    return refused("cannot open '" + lossy_utf8(item.folder_path) + "': " + os_error_text(errno));
  }
  item.folder_identity = identity_of(metadata);
  item.resolved = join_path(item.folder_path, item.name);
  return item;
}

bool pinned_item_is(const PinnedItem& item, const ItemIdentity& expected) {
  struct stat metadata {};
  return fstatat(item.folder.get(), item.name.c_str(), &metadata, AT_SYMLINK_NOFOLLOW) == 0 &&
         identity_of(metadata) == expected;
}

std::string changed_item_refusal(const std::string& path) {
  return "'" + lossy_utf8(path) + "' changed since it was checked; left in place";
}

std::expected<TrashedItem, MoveFailure> move_pinned(const std::string& path, const PinnedItem& item,
                                                    SafetyChecks checks,
                                                    std::optional<ItemIdentity> expected) {
  if (checks == SafetyChecks::Run) {
    const bool resolved_differs = item.resolved != path;
    if (safety::is_protected_path(path) ||
        (resolved_differs && safety::is_protected_path(item.resolved))) {
      return refused(safety::refusal_inside_move(path));
    }
    if (safety::is_in_cloud_sync_folder(path) ||
        (resolved_differs && safety::is_in_cloud_sync_folder(item.resolved))) {
      return refused(safety::cloud_sync_refusal(path));
    }
  }

  const auto home = home_env();
  if (!home || home->empty()) return failed("HOME is not set");
  const auto home_trash = platform::user_trash(*home);
  if (!home_trash) return failed("HOME is not set");
  if (auto created = trash_folders().ensure(*home_trash); !created) {
    return failed("cannot access ~/.Trash: " + created.error());
  }
  struct stat metadata {};
  if (fstatat(item.folder.get(), item.name.c_str(), &metadata, AT_SYMLINK_NOFOLLOW) != 0) {
    return failed("move to ~/.Trash failed: " + os_error_text(errno));
  }
  const ChosenTrash chosen = choose_trash(*home_trash, *home, item.folder_path, metadata.st_dev);
  const platform::TrashLocation& trash = chosen.location;
  const bool home_trash_chosen = !chosen.top_folder;
  if (holds_the_trash(item.resolved, *home_trash) ||
      (!home_trash_chosen && holds_the_trash(item.resolved, trash))) {
    return refused("Refusing to move '" + lossy_utf8(path) +
                   "' to ~/.Trash: it is the Trash itself or holds it.");
  }
  const std::string record =
      trash.info ? trash_info_text(record_path(chosen, item.resolved), std::time(nullptr)) : "";
  // Where the platform keeps records, creating one makes the name this move's alone, against
  // this process's other moves and every other program, so it is taken before the lock; the
  // lock then holds only the re-check and the move. Without records the name is chosen under
  // the lock, and the rename itself refuses to replace what another program put there.
  const auto reserve = [&]() -> Result<TrashSlot> {
    auto reserved = reserve_trash_slot(trash, item.name, record);
    if (reserved || !home_trash_chosen || trash_folders_present(trash)) return reserved;
    // The folders went after they were made sure of: make them again, once.
    ORVC_TRY(trash_folders().ensure_again(trash));
    return reserve_trash_slot(trash, item.name, record);
  };
  std::optional<TrashSlot> slot;
  if (trash.info) {
    auto reserved = reserve();
    if (!reserved) return failed("move to ~/.Trash failed: " + reserved.error());
    slot = std::move(*reserved);
  }
  const auto give_up = [&](std::unexpected<MoveFailure> failure) {
    if (slot) release_trash_slot(*slot);
    return failure;
  };

  std::lock_guard hold(trash_lock());
  if (!folder_still_in_place(item)) {
    return give_up(
        refused("'" + lossy_utf8(path) + "' was moved or replaced while it was checked"));
  }
  if (safety::is_protected_path(item.resolved)) {
    return give_up(refused(safety::refusal_inside_move(path)));
  }
  if (expected && !pinned_item_is(item, *expected)) {
    return give_up(refused(changed_item_refusal(path)));
  }
  for (int attempt = 0; attempt < 64; ++attempt) {
    if (!slot) {
      auto reserved = reserve();
      if (!reserved) return failed("move to ~/.Trash failed: " + reserved.error());
      slot = std::move(*reserved);
    }
    UniqueFd trash_folder(open(trash.files.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!trash_folder && home_trash_chosen && trash_folders().ensure_again(trash)) {
      trash_folder.reset(open(trash.files.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    }
    if (!trash_folder) {
      return give_up(failed("cannot access ~/.Trash: " + os_error_text(errno)));
    }
    const auto renamed = platform::rename_no_replace_at(item.folder.get(), item.name.c_str(),
                                                        trash_folder.get(), slot->name.c_str());
    const int error = renamed ? 0 : renamed.error();
    if (error == EEXIST) {
      // Another program took the name after it was chosen: never replace, take the next.
      release_trash_slot(*slot);
      slot.reset();
      continue;
    }
    uint64_t entry_inode = metadata.st_ino;  // a rename keeps it
    if (error == EXDEV) {
      if (auto copied = copy_across_volumes(item, trash, trash_folder.get(), *slot); !copied) {
        if (!entry_exists(slot->destination)) release_trash_slot(*slot);
        return std::unexpected(MoveFailure{true, "move to ~/.Trash failed: " + copied.error()});
      }
      struct stat copy {};
      const bool known =
          fstatat(trash_folder.get(), slot->name.c_str(), &copy, AT_SYMLINK_NOFOLLOW) == 0;
      entry_inode = known ? copy.st_ino : 0;
    } else if (error != 0) {
      return give_up(failed("move to ~/.Trash failed: " + os_error_text(error)));
    }
    return TrashedItem{lossy_utf8(slot->name), slot->destination, item.resolved, entry_inode,
                       slot->info_inode};
  }
  return give_up(
      failed("move to ~/.Trash failed: no free name left for '" + lossy_utf8(path) + "'"));
}

std::mutex& trash_lock() {
  static std::mutex lock;
  return lock;
}

}  // namespace orvc::removal
