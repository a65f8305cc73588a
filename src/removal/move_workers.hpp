#pragma once
// Runs one Trash move per path on a bounded set of threads and gathers the results in path
// order. A move that cannot run or throws gives "Task join error: {e}".
#include <functional>
#include <string>
#include <vector>

#include "removal/trash.hpp"
#include "util/expected.hpp"

namespace orvc::removal {

// `index` is the path's position in the list.
using MoveJob = std::function<Result<TrashedItem>(size_t index, const std::string& path)>;

std::vector<Result<TrashedItem>> run_moves(const std::vector<std::string>& paths,
                                           const MoveJob& move);

}  // namespace orvc::removal
