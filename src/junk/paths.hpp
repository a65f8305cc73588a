#pragma once
// Path arithmetic on raw byte strings, with the component semantics the junk walks rely on.
#include <optional>
#include <string>
#include <string_view>

#include "util/lexical_path.hpp"

namespace orvc::junk {

// Text of the last component (util/lexical_path: last_component), as lossy UTF-8.
std::optional<std::string> last_component_text(std::string_view path);

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
