#include "cli/junk_scan_job.hpp"

#include <chrono>

#include "cli/json_output.hpp"
#include "cli/progress_line.hpp"
#include "junk/dev_junk_scan.hpp"
#include "junk/untouched.hpp"
#include "util/blocking_job.hpp"
#include "util/stop_request.hpp"

namespace orvc::cli {

std::optional<std::vector<junk::JunkCategory>> run_junk_scan_job(
    ReportFormat format, std::optional<uint64_t> older_days) {
  auto job = with_progress([&] {
    return run_blocking([&] {
      return junk::scan_dev_junk(older_days ? junk::LastActivity::kNote
                                            : junk::LastActivity::kSkip);
    });
  });
  if (stop_requested()) return std::nullopt;
  if (!job) {
    report_failure(format, "Task error:", job.error());
    return std::nullopt;
  }
  if (!*job) {
    report_failure(format, "Developer junk scan failed:", job->error());
    return std::nullopt;
  }
  if (!older_days) return std::move(**job);
  const auto now = std::chrono::duration_cast<std::chrono::seconds>(
      std::chrono::system_clock::now().time_since_epoch());
  return junk::keep_untouched(std::move(**job), *older_days, now.count());
}

}  // namespace orvc::cli
