#pragma once
// Reads the cleanup history back (removal/history.hpp writes it).
#include <string>
#include <vector>

#include "removal/history.hpp"
#include "util/expected.hpp"

namespace orvc::removal {

// Every manifest that reads and parses, newest first (by time stamp, fraction included), and one
// "{path}: {error}" line per manifest that does not. Reads only; a missing folder is an empty
// history.
struct LoadedHistory {
  std::vector<CleanupSession> sessions;
  std::vector<std::string> problems;
};
Result<LoadedHistory> load_history();

}  // namespace orvc::removal
