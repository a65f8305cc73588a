#include "platform/platform.hpp"
#include "removal/trash.hpp"
#include "removal/trash_move.hpp"
#include "safety/cloud_sync.hpp"
#include "safety/protection.hpp"
#include "util/text.hpp"

namespace orvc::removal {

Result<TrashedItem> trash_item(const std::string& path, ProtectionCheck check,
                               std::optional<ItemIdentity> expected) {
  if (check == ProtectionCheck::NotDone && safety::is_protected_path(path)) {
    return failure(safety::refusal_before_move(path));
  }
  auto pinned = pin_item(path);
  if (!pinned) return failure(std::move(pinned.error().message));
  // The caller judged the text it was given; what is moved is the item in the resolved folder,
  // which a link or ".." in the path may put anywhere.
  const bool resolved_differs = pinned->resolved != path;
  if (resolved_differs && safety::is_protected_path(pinned->resolved)) {
    return failure(safety::refusal_before_move(path));
  }
  if (safety::is_in_cloud_sync_folder(path) ||
      (resolved_differs && safety::is_in_cloud_sync_folder(pinned->resolved))) {
    return failure(safety::cloud_sync_refusal(path));
  }

  // The move's own opening checks would repeat the ones above word for word.
  auto moved = move_pinned(path, *pinned, SafetyChecks::DoneByCaller, expected);
  if (moved) return std::move(*moved);
  if (moved.error().final) return failure(std::move(moved.error().message));
  if (expected && !pinned_item_is(*pinned, *expected)) {
    return failure(changed_item_refusal(path));
  }

  // The service is handed exactly the item that was checked, never the text again.
  if (auto fallback = platform::trash_service_delete(pinned->resolved); !fallback) {
    return failure(moved.error().message +
                   " (Finder fallback also failed: Error during a `trash` operation: " +
                   fallback.error() + ")");
  }
  // The service picks the real name; the item's own name is what is reported.
  return TrashedItem{lossy_utf8(pinned->name), {}, pinned->resolved};
}

}  // namespace orvc::removal
