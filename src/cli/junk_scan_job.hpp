#pragma once
#include <cstdint>
#include <expected>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "junk/junk_item.hpp"

namespace orvc::cli {

// More than a text: the job's own failure and the scan's are reported under different titles.
struct JunkScanFailure {
  std::string_view title;  // the red title the flow prints before the message
  std::string message;
};

// Runs the developer-junk scan as a blocking job. With `older_days`, only the items untouched
// for at least that many days are kept (junk/untouched.hpp). An interrupted scan's result is
// incomplete: the flow checks stop_requested() before using it.
std::expected<std::vector<junk::JunkCategory>, JunkScanFailure> run_junk_scan_job(
    std::optional<uint64_t> older_days = std::nullopt);

}  // namespace orvc::cli
