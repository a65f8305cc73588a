#pragma once
#include <optional>
#include <vector>

#include "cli/command.hpp"
#include "junk/junk_item.hpp"

namespace orvc::cli {

// Runs the developer-junk scan as a blocking job; on failure reports it (report_failure) and
// returns nothing.
std::optional<std::vector<junk::JunkCategory>> run_junk_scan_job(ReportFormat format);

}  // namespace orvc::cli
