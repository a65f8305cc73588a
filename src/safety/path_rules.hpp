#pragma once
// Component-wise path helpers shared by the safety rules.
#include <optional>
#include <string>

namespace orvc::safety {

// Drops ".", folds "name/.." pairs; never consults the file system.
std::string normalize_lexically(const std::string& path);

// Component-wise prefix test; ASCII letters compared case-insensitively.
bool path_starts_with_ci(const std::string& path, const std::string& base);

// Symlink-resolved form of a path whose tail may not exist; the last component is never resolved.
std::optional<std::string> resolve_existing_prefix(const std::string& path);

}  // namespace orvc::safety
