#include "cli/junk_scan_job.hpp"

#include "cli/json_output.hpp"
#include "junk/dev_junk_scan.hpp"
#include "util/blocking_job.hpp"

namespace orvc::cli {

std::optional<std::vector<junk::JunkCategory>> run_junk_scan_job(ReportFormat format) {
  auto job = run_blocking(junk::scan_dev_junk);
  if (!job) {
    report_failure(format, "Task error:", job.error());
    return std::nullopt;
  }
  if (!*job) {
    report_failure(format, "Developer junk scan failed:", job->error());
    return std::nullopt;
  }
  return std::move(**job);
}

}  // namespace orvc::cli
