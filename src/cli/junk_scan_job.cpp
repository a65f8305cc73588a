#include "cli/junk_scan_job.hpp"

#include "cli/console.hpp"
#include "junk/dev_junk_scan.hpp"
#include "util/blocking_job.hpp"

namespace orvc::cli {

std::optional<std::vector<junk::JunkCategory>> run_junk_scan_job() {
  auto job = run_blocking(junk::scan_dev_junk);
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
