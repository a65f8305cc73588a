#include "cli/flows.hpp"

namespace orvc::cli {

int run_delete(const Delete&) {
  return 0;
}

}  // namespace orvc::cli
