#pragma once
// Lexical path arithmetic on byte strings, never consulting the file system. Repeated slashes
// and a trailing slash do not count; "." counts only as a relative path's first component, as
// a path library would split it.
#include <optional>
#include <string_view>
#include <vector>

namespace orvc {

enum class ComponentKind { Root, CurrentDir, ParentDir, Normal };

struct PathComponent {
  ComponentKind kind;
  std::string_view bytes;  // "/" for the root; otherwise a view into the path read
};

// Reads a path's components one at a time, so a comparison with a short path stops early on a
// long one.
class ComponentReader {
 public:
  explicit ComponentReader(std::string_view path) : rest_(path), path_size_(path.size()) {}

  std::optional<PathComponent> next();

  // Offset in the path just past the component last read.
  size_t position() const { return path_size_ - rest_.size(); }

 private:
  void strip_slashes();

  std::string_view rest_;
  size_t path_size_;
  bool first_ = true;
};

std::vector<PathComponent> path_components(std::string_view path);

// The last component when it is a name ("a/b/" and "a/b/." give "b"); nothing for "/", "",
// "." or a final "..".
std::optional<std::string_view> last_component(std::string_view path);

// The path without its last component ("/a/b" gives "/a", "/a" gives "/", "a" gives ""); nothing
// for "/" and "".
std::optional<std::string_view> parent_path(std::string_view path);

// The rest of `path` after the folder `base` when `base` is a component-wise prefix of it
// ("/r" and "/r/x/y" give "x/y"; "/r" and "/r" give ""); nothing otherwise.
std::optional<std::string_view> relative_below(std::string_view base, std::string_view path);

// Drops trailing slashes, except a lone "/".
std::string_view without_trailing_slashes(std::string_view path);

}  // namespace orvc
