#pragma once
// Moves one item into the Trash. Protected items and items inside cloud-sync folders are
// refused. The item's folder is resolved and opened once; the checks judge that resolved
// path, and the move acts through the opened folder, so a link or a swap made between the
// check and the move can only make the move fail. The item itself is never followed, and the
// rename refuses to replace an entry already in the Trash; only where the file system has no
// such rename (Linux without RENAME_NOREPLACE) is the name checked just before, which a program
// ignoring Trash records could race. When the direct move fails before touching the
// item, the desktop's Trash service (Finder, or `gio trash`) is asked to trash exactly the
// checked path. Blocking; safe to call from many threads at once.
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

#include "util/expected.hpp"
#include "util/file_identity.hpp"

namespace orvc::removal {

// Whether the caller has just asked is_protected_path about the path (and it said no), so the
// move need not ask again before resolving it.
enum class ProtectionCheck { NotDone, DoneByCaller };

// Which file an item must still be when it is moved.
using ItemIdentity = FileIdentity;

struct TrashedItem {
  std::string name;           // the item's name in the Trash (lossy text)
  std::string trash_path;     // where it now is; empty when the Trash service moved it
  std::string original_path;  // where it was: its folder resolved, then its name
  // Inode numbers of the Trash entry and of its record, so that a later listing can tell the
  // entry is still this item without opening it; 0 when not known.
  uint64_t entry_inode = 0;
  uint64_t record_inode = 0;
};

// `path` must be absolute; nothing in it is resolved before the item's folder is. With an
// `expected` identity the item is moved only while its name in the pinned folder still gives
// that file, checked under trash_lock just before the rename (and before any Trash service).
Result<TrashedItem> trash_item(const std::string& path,
                               ProtectionCheck check = ProtectionCheck::NotDone,
                               std::optional<ItemIdentity> expected = std::nullopt);

// Serialises the moves of this process, each with its protection re-check, and the choice of
// Trash names where no .trashinfo record reserves them.
std::mutex& trash_lock();

}  // namespace orvc::removal
