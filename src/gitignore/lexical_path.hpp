#pragma once
// Lexical path arithmetic (no file-system access), component by component: repeated slashes
// and "." components after the first do not count, a trailing slash does not count.
#include <optional>
#include <string_view>

namespace orvc::gitignore {

// The path without its last component ("/a/b" → "/a", "a" → "", "/" and "" → nothing).
std::optional<std::string_view> lexical_parent(std::string_view path);

// The rest of `path` after the folder `base` when `base` is a component-wise prefix of it
// ("/r" and "/r/x/y" → "x/y"; "/r" and "/r" → ""); nothing otherwise.
std::optional<std::string_view> relative_below(std::string_view base, std::string_view path);

}  // namespace orvc::gitignore
