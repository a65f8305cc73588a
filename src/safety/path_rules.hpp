#pragma once
// Component-wise path helpers shared by the safety rules. Paths are byte strings; a component
// is compared as text: the root as "/", the markers as "." and "..", a name as lossy UTF-8.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "util/lexical_path.hpp"

namespace orvc::safety {

// A path split into components once, to be compared with many others.
class SplitPath {
 public:
  explicit SplitPath(std::string text);

  const std::string& text() const { return text_; }
  size_t size() const { return parts_.size(); }
  ComponentKind kind(size_t i) const { return parts_[i].kind; }
  std::string_view bytes(size_t i) const {
    return std::string_view(text_).substr(parts_[i].offset, parts_[i].length);
  }
  bool valid_utf8(size_t i) const { return parts_[i].valid_utf8; }

 private:
  struct Part {
    ComponentKind kind;
    uint32_t offset;
    uint32_t length;
    bool valid_utf8;
  };
  std::string text_;
  std::vector<Part> parts_;
};

// path_starts_with_ci on split paths, and whether two split paths name the same components.
bool starts_with_ci(const SplitPath& path, const SplitPath& base);
bool equals_ci(const SplitPath& path, const SplitPath& other);

// Drops ".", folds "name/.." pairs; never consults the file system.
std::string normalize_lexically(const std::string& path);

// Component-wise prefix test; ASCII letters compared case-insensitively.
bool path_starts_with_ci(const std::string& path, const std::string& base);

// Component-wise prefix test with exact comparison.
bool path_starts_with(std::string_view path, std::string_view base);

// `base` joined with a relative path; an empty base yields the relative path unchanged.
std::string join_relative(const std::string& base, std::string_view relative);

// Every symbolic link resolved, as realpath(3) does; nothing when that fails or the path holds a
// NUL byte.
std::optional<std::string> canonicalize(const std::string& path);

// Symlink-resolved form of a path whose tail may not exist; the last component is never resolved.
std::optional<std::string> resolve_existing_prefix(const std::string& path);

}  // namespace orvc::safety
