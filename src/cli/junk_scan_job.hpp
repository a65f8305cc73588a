#pragma once
#include <optional>
#include <vector>

#include "junk/junk_item.hpp"

namespace orvc::cli {

// Runs the developer-junk scan as a blocking job; on failure prints its red title and the
// message to standard error and returns nothing. An interrupted scan returns nothing and prints
// nothing.
std::optional<std::vector<junk::JunkCategory>> run_junk_scan_job();

}  // namespace orvc::cli
