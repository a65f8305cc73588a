#include "cli/flows.hpp"

namespace orvc::cli {

int run_diff(const Diff&) {
  return 0;
}

}  // namespace orvc::cli
