#pragma once
// Runs one Trash move per item on a bounded set of threads and gathers the results in item
// order. A move that cannot run or throws gives "Task join error: {e}". Once a stop is requested
// (util/stop_request) no further move is begun; the moves under way are finished.
#include <cstddef>
#include <functional>
#include <optional>
#include <vector>

#include "removal/trash.hpp"
#include "util/expected.hpp"

namespace orvc::removal {

using MoveJob = std::function<Result<TrashedItem>(size_t item)>;

// One result per item, 0 to count - 1; nothing for an item left alone because of a stop.
std::vector<std::optional<Result<TrashedItem>>> run_moves(size_t count, const MoveJob& move);

}  // namespace orvc::removal
