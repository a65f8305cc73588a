#pragma once
// The item pinned for a move, and the direct move with its failure kind.
#include <sys/types.h>

#include <expected>
#include <optional>
#include <string>
#include <string_view>

#include "removal/trash.hpp"
#include "util/unique_fd.hpp"

namespace orvc::removal {

// Copies into a Trash on another volume are made under a name with this prefix and the
// writing process's number, and renamed into place when whole.
inline constexpr std::string_view kPartialCopyPrefix = ".orvc-partial-";

// An item's folder, resolved and held open, and the item's name in it.
struct PinnedItem {
  UniqueFd folder;          // opened without passing through a link
  std::string folder_path;  // the folder's resolved path when it was opened
  FileIdentity folder_identity;
  std::string name;
  std::string resolved;  // folder_path joined with name: what the checks judge
};

// The error of a direct move. More than a text because the caller branches on it: final is a
// safety refusal, or the item may have been touched, and the Trash service must not be asked;
// otherwise nothing of the item was touched and the service may try.
struct MoveFailure {
  bool final = false;
  std::string message;
};

// Resolves the folder of an absolute path and opens it. Fails (finally) when the path names no
// item or its folder cannot be resolved or opened.
std::expected<PinnedItem, MoveFailure> pin_item(const std::string& absolute_path);

enum class SafetyChecks { Run, DoneByCaller };

// With DoneByCaller the opening protection and cloud-sync checks are skipped; the re-check
// under trash_lock always runs, and so does the `expected` identity's. `path` is the text the
// messages show.
std::expected<TrashedItem, MoveFailure> move_pinned(const std::string& path, const PinnedItem& item,
                                                    SafetyChecks checks,
                                                    std::optional<ItemIdentity> expected = {});

// Whether the item's name in its pinned folder, not followed, gives the `expected` file.
bool pinned_item_is(const PinnedItem& item, const ItemIdentity& expected);

// The refusal of an item that is no longer the file the caller checked.
std::string changed_item_refusal(const std::string& path);

}  // namespace orvc::removal
