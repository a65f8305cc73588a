#include "removal/path_names.hpp"

#include "util/lexical_path.hpp"

namespace orvc::removal {

bool has_parent_marker(std::string_view path) {
  ComponentReader reader(path);
  while (const auto part = reader.next()) {
    if (part->kind == ComponentKind::ParentDir) return true;
  }
  return false;
}

StemAndExtension split_file_name(std::string_view name) {
  const size_t dot = name.rfind('.');
  if (name == ".." || dot == std::string_view::npos || dot == 0) return {std::string(name), {}};
  return {std::string(name.substr(0, dot)), std::string(name.substr(dot + 1))};
}

std::optional<FolderAndName> split_item_path(std::string_view absolute_path) {
  // Unlike a lexical reading, a final "." or ".." is not passed over: "/a/." is no item in "/".
  const std::string_view trimmed = without_trailing_slashes(absolute_path);
  if (trimmed.ends_with("/.") || trimmed.ends_with("/..")) return std::nullopt;
  const auto name = last_component(trimmed);
  const auto folder = parent_path(trimmed);
  if (!name || !folder || folder->empty()) return std::nullopt;
  return FolderAndName{std::string(*folder), std::string(*name)};
}

std::string parent_of(std::string_view path) {
  if (const auto parent = parent_path(path)) return parent->empty() ? "." : std::string(*parent);
  return path.starts_with('/') ? "/" : ".";
}

}  // namespace orvc::removal
