#include "cli/junk_scan_job.hpp"

#include "cli/console.hpp"
#include "cli/progress_line.hpp"
#include "junk/dev_junk_scan.hpp"
#include "util/blocking_job.hpp"
#include "util/stop_request.hpp"

namespace orvc::cli {

std::optional<std::vector<junk::JunkCategory>> run_junk_scan_job() {
  auto job = with_progress([] { return run_blocking(junk::scan_dev_junk); });
  if (stop_requested()) return std::nullopt;
  if (!job) {
    print_error_line(red("Task error:") + " " + job.error());
    return std::nullopt;
  }
  if (!*job) {
    print_error_line(red("Developer junk scan failed:") + " " + job->error());
    return std::nullopt;
  }
  return std::move(**job);
}

}  // namespace orvc::cli
