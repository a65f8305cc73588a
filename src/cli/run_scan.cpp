#include "cli/flows.hpp"

namespace orvc::cli {

int run_scan(const Scan&) { return 0; }

}  // namespace orvc::cli
