#include "cli/junk_scan_job.hpp"

#include "cli/json_output.hpp"
#include "cli/progress_line.hpp"
#include "junk/dev_junk_scan.hpp"
#include "util/blocking_job.hpp"
#include "util/stop_request.hpp"

namespace orvc::cli {

std::optional<std::vector<junk::JunkCategory>> run_junk_scan_job(ReportFormat format) {
  auto job = with_progress([] { return run_blocking(junk::scan_dev_junk); });
  if (stop_requested()) return std::nullopt;
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
