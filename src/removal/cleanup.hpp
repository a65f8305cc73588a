#pragma once
// The only way into removal: a list of paths and a cleanup type, moved to the user's Trash
// after the safety rules, recorded as a history manifest.
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "removal/cleanup_kind.hpp"
#include "removal/trash.hpp"
#include "safety/protection.hpp"
#include "util/expected.hpp"

namespace orvc::removal {

// Asked in an item's own move job just before the move, with the item's index in the request's
// paths: the identity the item must still have when it is renamed, or nothing to leave it in
// place without counting it as a failure (the caller says why). Called from several threads.
using ConfirmMove = std::function<std::optional<ItemIdentity>(size_t index)>;

struct CleanupRequest {
  std::vector<std::string> paths;
  CleanupType cleanup_type = CleanupType::Delete;
  ConfirmMove confirm = {};  // none: every item that passes the safety rules is moved
};

// Success with each trashed path's name in the Trash, or one failure message that the flow
// prints after its own red title. A run stopped (util/stop_request) before all its moves began
// fails with a message that says so and how many items were left alone; the history records
// the items that were moved.
using CleanupOutcome = Result<std::map<std::string, std::string>>;

// What became of one requested path. Repeated: named again after an earlier entry of the same
// request found the same item, which is moved once. Declined: left in place by the request's
// confirmation. NotStarted: a stop was asked for before its move began.
enum class ItemOutcome { Moved, Missing, Repeated, Protected, Failed, Declined, NotStarted };

struct CleanupItem {
  std::string path;  // as given
  ItemOutcome outcome = ItemOutcome::Missing;
  uint64_t size = 0;                                   // measured before the move
  std::optional<TrashedItem> trashed;                  // when Moved
  std::optional<safety::ProtectionReason> protection;  // when Protected
  std::string problem;                                 // when Failed
};

// A run item by item, for reports that show each one.
struct CleanupReport {
  CleanupOutcome outcome;
  std::vector<CleanupItem> items;         // in request order
  std::optional<std::string> session_id;  // the manifest that records the run, when one does
};

CleanupReport run_cleanup_report(const CleanupRequest& request);

CleanupOutcome run_cleanup(const CleanupRequest& request);

// Logical bytes of an item: a file's length, a folder's entries summed (measured in parallel);
// links, devices and whatever cannot be read count 0 (and everything, once a stop is requested:
// the run moves nothing then). Never follows a symbolic link.
uint64_t measure_size(const std::string& path);

}  // namespace orvc::removal
