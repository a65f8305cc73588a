#include "cli/removal_gate.hpp"

#include "cli/console.hpp"
#include "cli/json_output.hpp"
#include "safety/user_protected.hpp"

namespace orvc::cli {

bool removal_allowed(ReportFormat format) {
  const Status status = safety::user_protection_status();
  if (status) return true;
  print_error_line(status.error());
  if (format == ReportFormat::Json) write_json_failure(status.error());
  return false;
}

}  // namespace orvc::cli
