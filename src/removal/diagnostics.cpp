#include "removal/diagnostics.hpp"

#include <cstdio>
#include <string>

namespace orvc::removal {

void write_diagnostic_line(std::string_view line) {
  std::string whole(line);
  whole.push_back('\n');
  std::fflush(stdout);  // keeps the order a terminal shows
  std::fwrite(whole.data(), 1, whole.size(), stderr);
  std::fflush(stderr);
}

}  // namespace orvc::removal
