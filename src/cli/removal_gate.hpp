#pragma once
#include "cli/command.hpp"

namespace orvc::cli {

// Whether a flow that removes may start. When the user's protected-paths file exists but is not
// a valid list, writes the one refusal line to standard error (and, for --json, the failure
// document to standard output) and answers false; the flow then exits with status 1 before
// scanning or moving anything.
bool removal_allowed(ReportFormat format);

}  // namespace orvc::cli
