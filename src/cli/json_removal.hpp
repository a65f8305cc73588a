#pragma once
// The "removal" member shared by every --json report that moves items to the Trash.
#include "cli/json_output.hpp"
#include "removal/cleanup.hpp"

namespace orvc::cli {

// Every requested item in request order with its outcome, the moved totals and the history
// session id; then, when the run failed, the top-level "error" with the executor's message.
void add_removal(JsonDocument& document, removal::CleanupType cleanup_type,
                 const removal::CleanupReport& report);

}  // namespace orvc::cli
