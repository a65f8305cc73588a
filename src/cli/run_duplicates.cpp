#include "cli/flows.hpp"

namespace orvc::cli {

int run_duplicates(const Duplicates&) {
  return 0;
}

}  // namespace orvc::cli
