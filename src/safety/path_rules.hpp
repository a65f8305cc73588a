#pragma once
// Component-wise path helpers shared by the safety rules. Paths are byte strings; a component
// is compared as text: the root as "/", the markers as "." and "..", a name as lossy UTF-8.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvc::safety {

enum class ComponentKind { Root, CurrentDir, ParentDir, Normal };

struct PathComponent {
  ComponentKind kind;
  std::string_view bytes;  // "/" for the root
};

// Repeated slashes and a trailing slash vanish; "." survives only as a relative path's first
// component, as a path library would split it.
std::vector<PathComponent> path_components(std::string_view path);

// Drops ".", folds "name/.." pairs; never consults the file system.
std::string normalize_lexically(const std::string& path);

// Component-wise prefix test; ASCII letters compared case-insensitively.
bool path_starts_with_ci(const std::string& path, const std::string& base);

// Same number of components and path_starts_with_ci.
bool path_equals_ci(const std::string& path, const std::string& other);

// Component-wise prefix test with exact comparison.
bool path_starts_with(std::string_view path, std::string_view base);

// `base` joined with a relative path; an empty base yields the relative path unchanged.
std::string join_relative(const std::string& base, std::string_view relative);

// realpath(3); nothing when it fails or the path holds a NUL byte.
std::optional<std::string> canonicalize(const std::string& path);

// Symlink-resolved form of a path whose tail may not exist; the last component is never resolved.
std::optional<std::string> resolve_existing_prefix(const std::string& path);

}  // namespace orvc::safety
