#pragma once
// The developer-junk scan: reads HOME, probes the catalogue's fixed locations (asking whether
// Docker runs only when it finds a Docker virtual disk), walks the project roots and measures
// every item once. Only reads; nothing cached.
#include <vector>

#include "junk/junk_item.hpp"
#include "util/expected.hpp"

namespace orvc::junk {

enum class LastActivity { Skip, Note };

// Non-empty categories, largest total first (ties keep catalogue order). The only failure is
// "HOME environment variable is not set", and then nothing else is attempted. With Note every
// item's `last_activity` is filled as well (junk/last_activity.hpp). Once a stop is requested
// (util/stop_request) the walks and measures wind down and the result is incomplete.
Result<std::vector<JunkCategory>> scan_dev_junk(LastActivity last_activity = LastActivity::Skip);

}  // namespace orvc::junk
