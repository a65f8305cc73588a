#include "cli/flows.hpp"

namespace orvc::cli {

int run_dev_junk(const DevJunk&) {
  return 0;
}

}  // namespace orvc::cli
