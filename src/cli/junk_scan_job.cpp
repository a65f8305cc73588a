#include "cli/junk_scan_job.hpp"

#include <chrono>

#include "cli/progress_line.hpp"
#include "junk/dev_junk_scan.hpp"
#include "junk/untouched.hpp"
#include "util/blocking_job.hpp"

namespace orvc::cli {

std::expected<std::vector<junk::JunkCategory>, JunkScanFailure> run_junk_scan_job(
    std::optional<uint64_t> older_days) {
  auto job = with_progress([&] {
    return run_blocking([&] {
      return junk::scan_dev_junk(older_days ? junk::LastActivity::Note : junk::LastActivity::Skip);
    });
  });
  if (!job) return std::unexpected(JunkScanFailure{"Task error:", std::move(job.error())});
  if (!*job) {
    return std::unexpected(JunkScanFailure{"Developer junk scan failed:", std::move(job->error())});
  }
  if (!older_days) return std::move(**job);
  const auto now = std::chrono::duration_cast<std::chrono::seconds>(
      std::chrono::system_clock::now().time_since_epoch());
  return junk::keep_untouched(std::move(**job), *older_days, now.count());
}

}  // namespace orvc::cli
