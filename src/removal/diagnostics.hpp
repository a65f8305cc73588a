#pragma once
// The few lines removal itself writes: history problems, which never change an outcome.
#include <string_view>

namespace orvc::removal {

// Writes `line` and a line feed to standard error in one piece.
void write_diagnostic_line(std::string_view line);

}  // namespace orvc::removal
