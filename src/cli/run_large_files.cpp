#include "cli/flows.hpp"

namespace orvc::cli {

int run_large_files(const LargeFiles&) {
  return 0;
}

}  // namespace orvc::cli
