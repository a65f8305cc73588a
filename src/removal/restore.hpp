#pragma once
// Undo: puts items recorded in the cleanup history (or, on a Trash that keeps records, anything
// trashed from a given path) back where they came from. The items a restore is asked for are a
// run (its id, or any unique prefix of it) or original paths; for a path, the most recently
// trashed item of that path. Manifests are never rewritten: what is still in the Trash is
// worked out from the Trash itself.
#include <optional>
#include <string>
#include <vector>

#include "removal/restore_move.hpp"
#include "util/expected.hpp"

namespace orvc::removal {

struct RestoreRequest {
  std::vector<std::string> targets;  // run ids or paths, as typed (after "~" expansion)
  std::optional<std::string> into;   // --to: every item goes into this folder instead
  RestoreMode mode = RestoreMode::Apply;
};

struct RestoredItem {
  std::string destination;  // where it goes (or would go)
  RestoreStep step;
};

struct RestoreReport {
  std::vector<RestoredItem> items;  // in request order, a run's items in recorded order
  size_t already_out = 0;           // items of the runs asked for that are no longer in the Trash
  size_t left_alone = 0;  // items not begun because a stop was requested (util/stop_request)
};

// Fails, with nothing moved, when a run id prefix is ambiguous or the history cannot be read.
Result<RestoreReport> run_restore(const RestoreRequest& request);

// Whether a target is read as a run id first: hexadecimal digits and hyphens only.
bool looks_like_run_id(const std::string& target);

// The sessions whose id begins with `prefix` (letter case ignored).
std::vector<const CleanupSession*> sessions_with_prefix(const std::vector<CleanupSession>& sessions,
                                                        const std::string& prefix);

}  // namespace orvc::removal
