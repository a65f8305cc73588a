#pragma once
// Runs a program found through PATH, without a shell, standard input from the null device.
#include <string>
#include <vector>

#include "util/expected.hpp"

namespace orvc::platform {

struct ChildResult {
  int exit_code = -1;  // -1 when the child was killed by a signal
  std::string standard_output;
  std::string standard_error;
};

// Fails only when the program cannot be started (for example, not found on PATH).
Result<ChildResult> run_captured(const std::vector<std::string>& argv);

}  // namespace orvc::platform
