#include "removal/path_names.hpp"

#include <vector>

namespace orvc::removal {
namespace {

// Components without empty and "." entries; the leading "/" is not one of them.
std::vector<std::string_view> components(std::string_view path) {
  std::vector<std::string_view> out;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string_view::npos) end = path.size();
    const std::string_view part = path.substr(start, end - start);
    if (!part.empty() && part != ".") out.push_back(part);
    start = end + 1;
  }
  return out;
}

}  // namespace

std::optional<std::string> last_normal_component(std::string_view path) {
  const auto parts = components(path);
  if (parts.empty() || parts.back() == "..") return std::nullopt;
  return std::string(parts.back());
}

bool has_parent_marker(std::string_view path) {
  for (const auto part : components(path)) {
    if (part == "..") return true;
  }
  return false;
}

StemAndExtension split_file_name(std::string_view name) {
  const size_t dot = name.rfind('.');
  if (name == ".." || dot == std::string_view::npos || dot == 0) return {std::string(name), {}};
  return {std::string(name.substr(0, dot)), std::string(name.substr(dot + 1))};
}

std::optional<FolderAndName> split_item_path(std::string_view absolute_path) {
  std::string_view rest = absolute_path;
  while (!rest.empty() && rest.back() == '/') rest.remove_suffix(1);
  const size_t slash = rest.rfind('/');
  if (slash == std::string_view::npos) return std::nullopt;
  const std::string_view name = rest.substr(slash + 1);
  if (name.empty() || name == "." || name == "..") return std::nullopt;
  std::string_view folder = rest.substr(0, slash);
  while (!folder.empty() && folder.back() == '/') folder.remove_suffix(1);
  return FolderAndName{folder.empty() ? "/" : std::string(folder), std::string(name)};
}

std::string parent_of(std::string_view path) {
  std::string_view rest = path;
  // Drop trailing slashes and "." entries, then the last name.
  while (true) {
    while (rest.size() > 1 && rest.back() == '/') rest.remove_suffix(1);
    if (rest == ".") return ".";
    if (rest.size() >= 2 && rest.substr(rest.size() - 2) == "/.") {
      rest.remove_suffix(2);
      if (rest.empty()) return "/";
      continue;
    }
    break;
  }
  const size_t slash = rest.rfind('/');
  if (slash == std::string_view::npos) return ".";
  if (slash == 0) return "/";
  std::string_view parent = rest.substr(0, slash);
  while (parent.size() > 1 && parent.back() == '/') parent.remove_suffix(1);
  return std::string(parent);
}

}  // namespace orvc::removal
