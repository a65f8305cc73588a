#include <string>

#include "cli/console.hpp"
#include "cli/flows.hpp"

// Set from the project version in CMakeLists.txt.
#ifndef ORVC_VERSION
#error "ORVC_VERSION is not defined"
#endif

namespace orvc::cli {

Result<Command> parse_version(std::span<const std::string> rest) {
  if (!rest.empty()) return failure("Unknown flag for version: " + rest.front());
  return Version{};
}

int run_version(const Version&) {
  print_line(std::string("orvc ") + ORVC_VERSION);
  return 0;
}

}  // namespace orvc::cli
