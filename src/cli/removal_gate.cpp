#include "cli/removal_gate.hpp"

#include "cli/console.hpp"
#include "safety/user_protected.hpp"

namespace orvc::cli {

bool removal_allowed() {
  const Status status = safety::user_protection_status();
  if (!status) print_error_line(status.error());
  return status.has_value();
}

}  // namespace orvc::cli
