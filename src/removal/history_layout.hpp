#pragma once
// The fast way to read a manifest: the exact layout session_to_json writes, read without
// building a JSON document. Anything else (another layout, an escaped character, a number
// that is not a plain integer) gives nothing, and the caller parses the text as general JSON.
#include <optional>
#include <string_view>

#include "removal/history.hpp"

namespace orvc::removal {

// A session equal to what the general JSON parse would give, or nothing.
std::optional<CleanupSession> read_written_layout(std::string_view text);

}  // namespace orvc::removal
