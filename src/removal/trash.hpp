#pragma once
// Moves one item into the user's Trash. Protected items and items inside cloud-sync folders are
// refused; the move picks a collision-free name and never replaces an item already in the Trash.
// When the direct move fails, the desktop's Trash service (Finder, or `gio trash`) is asked.
// Blocking; safe to call from many threads at once.
#include <mutex>
#include <string>
#include <vector>

#include "util/expected.hpp"

namespace orvc::removal {

// Whether the caller has just asked is_protected_path about the path (and it said no), so the
// move need not ask again before its own re-check under trash_lock.
enum class ProtectionCheck { NotDone, DoneByCaller };

// The name the item now has in the Trash, or why it stayed where it was.
Result<std::string> trash_item(const std::string& path,
                               ProtectionCheck check = ProtectionCheck::NotDone);

// The direct move alone (no Trash-service fallback).
Result<std::string> move_into_user_trash(const std::string& path);

// The Trash-service fallback; failures begin with "Error during a `trash` operation: ".
Status finder_delete(const std::vector<std::string>& paths);

// Serialises the moves of this process, each with its protection re-check, and the choice of
// Trash names where no .trashinfo record reserves them.
std::mutex& trash_lock();

}  // namespace orvc::removal
