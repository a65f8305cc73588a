#pragma once
// The manifest's text form: pretty-printed with two-space indents, no final newline.
#include <string>
#include <string_view>

#include "removal/history.hpp"
#include "util/expected.hpp"

namespace orvc::removal {

Result<std::string> session_to_json(const CleanupSession& session);

// Unknown members are ignored; a duplicate member or a missing required one is an error
// ("missing field `status`"). A missing `trashed_name` or `trash_path` reads as null.
Result<CleanupSession> parse_session(std::string_view text);

}  // namespace orvc::removal
