#pragma once
#include <cstdint>
#include <optional>
#include <vector>

#include "cli/command.hpp"
#include "junk/junk_item.hpp"

namespace orvc::cli {

// Runs the developer-junk scan as a blocking job; on failure reports it (report_failure) and
// returns nothing. An interrupted scan returns nothing and reports nothing. With `older_days`,
// only the items untouched for at least that many days are kept (junk/untouched.hpp).
std::optional<std::vector<junk::JunkCategory>> run_junk_scan_job(
    ReportFormat format, std::optional<uint64_t> older_days = std::nullopt);

}  // namespace orvc::cli
