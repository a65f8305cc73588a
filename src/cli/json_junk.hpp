#pragma once
// JSON records shared by the dev-junk and diff reports.
#include "cli/json_output.hpp"
#include "junk/junk_item.hpp"

namespace orvc::cli {

// Path, catalogue name and description (which says why the item is safe or risky), size in
// allocated bytes, the safe flag and the Git-tracked mark.
JsonValue junk_item_record(const junk::JunkItem& item);

// "roots": the home folder the junk scan looks under.
void add_junk_roots(JsonDocument& document);

}  // namespace orvc::cli
