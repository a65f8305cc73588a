#pragma once
// Lexical name helpers for removal paths (no file-system access).
#include <optional>
#include <string>
#include <string_view>

namespace orvc::removal {

// A file name split at its last dot, except that a name whose only dot is its first character
// (".bashrc") is all stem. "archive.tar.gz" gives "archive.tar" and "gz"; "notes." gives "notes"
// and an empty extension.
struct StemAndExtension {
  std::string stem;
  std::optional<std::string> extension;
};
StemAndExtension split_file_name(std::string_view name);

// Whether one of the path's components is "..".
bool has_parent_marker(std::string_view path);

// An absolute path split into its folder and its name, trailing slashes ignored. Nothing when
// the last component is "." or "..", or the path is the root: such a path names no item.
struct FolderAndName {
  std::string folder;
  std::string name;
};
std::optional<FolderAndName> split_item_path(std::string_view absolute_path);

// The folder part of a path: everything before the last normal component ("." for "name").
std::string parent_of(std::string_view path);

}  // namespace orvc::removal
