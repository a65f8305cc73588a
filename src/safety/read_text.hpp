#pragma once
// Reads the small configuration files the safety rules consult.
#include <string>

#include "util/expected.hpp"

namespace orvc::safety {

// The bytes of a regular file (symbolic links followed). Anything else, such as a folder or a
// FIFO that would block the caller, is a failure with the OS error text.
Result<std::string> read_regular_file(const std::string& path);

}  // namespace orvc::safety
