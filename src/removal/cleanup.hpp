#pragma once
// The only way into removal: a list of paths and a cleanup type, moved to the user's Trash
// after the safety rules, recorded as a history manifest.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "util/expected.hpp"

namespace orvc::removal {

struct CleanupRequest {
  std::vector<std::string> paths;
  std::string cleanup_type;  // "cli_delete", "cli_large_files" or "cli_dev_junk"
};

// Success with each trashed path's name in the Trash, or one failure message that the flow
// prints after its own red title. A run stopped (util/stop_request) before all its moves began
// fails with a message that says so and how many items were left alone; the history records
// the items that were moved.
using CleanupOutcome = Result<std::map<std::string, std::string>>;

CleanupOutcome run_cleanup(const CleanupRequest& request);

// Logical bytes of an item: a file's length, a folder's entries summed (measured in parallel);
// links, devices and whatever cannot be read count 0 (and everything, once a stop is requested:
// the run moves nothing then). Never follows a symbolic link.
uint64_t measure_size(const std::string& path);

}  // namespace orvc::removal
