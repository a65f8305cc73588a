#pragma once
// Helpers the macOS and Linux implementations share; not part of the platform interface.
#include <optional>
#include <string>

namespace orvc::platform {

// realpath(3); nothing when it fails.
std::optional<std::string> realpath_of(const std::string& path);

}  // namespace orvc::platform
