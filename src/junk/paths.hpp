#pragma once
// Path arithmetic on raw byte strings, with the component semantics the junk walks rely on.
#include <optional>
#include <string>
#include <string_view>

namespace orvc::junk {

// Text of the last component, trailing slashes ignored; nothing for "/", "" or a final "..".
std::optional<std::string> last_component_text(const std::string& path);

// The path without its last component ("/a/b" -> "/a", "/a" -> "/", "a" -> ""); nothing for "/"
// and "".
std::optional<std::string> parent_path(const std::string& path);

// `folder` joined with `relative`; an empty folder leaves `relative` as it is.
std::string child_path(std::string_view folder, std::string_view relative);

// Component-by-component comparison: repeated slashes, trailing slashes and "." do not count,
// and "/a/b" sorts before "/a-b".
int compare_components(std::string_view a, std::string_view b);
inline bool same_components(std::string_view a, std::string_view b) {
  return compare_components(a, b) == 0;
}

// Metadata probes that follow symbolic links, as the catalogue's location tests do.
bool exists(const std::string& path);
bool is_folder(const std::string& path);

}  // namespace orvc::junk
