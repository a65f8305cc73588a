#include "removal/trash_move.hpp"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <mutex>
#include <optional>

#include "platform/home.hpp"
#include "platform/platform.hpp"
#include "removal/absolute_path.hpp"
#include "removal/copy_tree.hpp"
#include "removal/file_ops.hpp"
#include "removal/path_names.hpp"
#include "removal/trash.hpp"
#include "removal/trash_guard.hpp"
#include "removal/trash_info.hpp"
#include "removal/trash_slot.hpp"
#include "safety/cloud_sync.hpp"
#include "safety/path_rules.hpp"
#include "safety/protection.hpp"
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

// The path a restore puts the item back to. Folding ".." lexically could step out of a linked
// folder the wrong way, so only then are the parent's links resolved.
std::string trash_record_for(const std::string& path) {
  const std::string lexical = safety::normalize_lexically(lexically_absolute(path));
  const std::string original =
      has_parent_marker(path) ? absolute_with_canonical_parent(path).value_or(lexical) : lexical;
  return trash_info_text(original, std::time(nullptr));
}

// Rename, or on another volume copy and remove. Called with trash_lock held.
Status put_into_slot(const std::string& path, const TrashSlot& slot) {
  if (std::rename(path.c_str(), slot.destination.c_str()) == 0) return {};
  const int error = errno;
  if (error != EXDEV) return failure(os_error_text(error));
  auto copied = copy_tree(path, slot.destination);
  if (!copied) {
    // Only our own partial copy is removed here; the item is still whole in place.
    remove_tree(slot.destination);
    return failure(std::move(copied.error()));
  }
  // From here on the copy in the Trash is whole; it stays even if removing the source fails.
  // What changed in the source while it was copied is not in the copy, so it stays too.
  return remove_copied(path, *copied);
}

}  // namespace

std::expected<std::string, MoveFailure> move_into_trash_folder(const std::string& path,
                                                               SafetyChecks checks) {
  if (checks == SafetyChecks::Run) {
    if (safety::is_protected_path(path)) return refused(safety::refusal_inside_move(path));
    if (safety::is_in_cloud_sync_folder(path)) return refused(safety::cloud_sync_refusal(path));
  }

  const auto home = home_env();
  if (!home || home->empty()) return failed("HOME is not set");
  const auto trash = platform::user_trash(*home);
  if (!trash) return failed("HOME is not set");
  if (auto created = trash_folders().ensure(*trash); !created) {
    return failed("cannot access ~/.Trash: " + created.error());
  }
  const auto file_name = last_normal_component(path);
  if (!file_name) return failed("target has no file name");
  if (holds_the_trash(path, *trash)) {
    return refused("Refusing to move '" + lossy_utf8(path) +
                   "' to ~/.Trash: it is the Trash itself or holds it.");
  }
  // Where the platform keeps records, creating one makes the name this move's alone, against
  // this process's other moves and every other program, so it is taken before the lock; the
  // lock then holds only the re-check and the move. Without records the name is chosen under
  // the lock.
  const auto reserve = [&](std::string_view record) -> Result<TrashSlot> {
    auto reserved = reserve_trash_slot(*trash, *file_name, record);
    if (reserved || trash_folders_present(*trash)) return reserved;
    // The folders went after they were made sure of: make them again, once.
    ORVC_TRY(trash_folders().ensure_again(*trash));
    return reserve_trash_slot(*trash, *file_name, record);
  };
  std::optional<TrashSlot> slot;
  if (trash->info) {
    auto reserved = reserve(trash_record_for(path));
    if (!reserved) return failed("move to ~/.Trash failed: " + reserved.error());
    slot = std::move(*reserved);
  }

  std::lock_guard hold(trash_lock());
  if (safety::is_protected_path(path)) {
    if (slot) release_trash_slot(*slot);
    return refused(safety::refusal_inside_move(path));
  }
  if (!slot) {
    auto reserved = reserve({});
    if (!reserved) return failed("move to ~/.Trash failed: " + reserved.error());
    slot = std::move(*reserved);
  }
  Status moved = put_into_slot(path, *slot);
  if (!moved && !trash_folders_present(*trash) && trash_folders().ensure_again(*trash)) {
    moved = put_into_slot(path, *slot);
  }
  if (!moved) {
    if (!entry_exists(slot->destination)) release_trash_slot(*slot);
    return failed("move to ~/.Trash failed: " + moved.error());
  }
  return lossy_utf8(slot->name);
}

std::mutex& trash_lock() {
  static std::mutex lock;
  return lock;
}

Result<std::string> move_into_user_trash(const std::string& path) {
  auto moved = move_into_trash_folder(path, SafetyChecks::Run);
  if (!moved) return failure(std::move(moved.error().message));
  return std::move(*moved);
}

}  // namespace orvc::removal
