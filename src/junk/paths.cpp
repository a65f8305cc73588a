#include "junk/paths.hpp"

#include <sys/stat.h>

#include "util/text.hpp"

namespace orvc::junk {
namespace {

std::string_view without_trailing_slashes(std::string_view path) {
  while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
  return path;
}

// Walks a path one component at a time; the root counts as a component of its own.
class Components {
 public:
  explicit Components(std::string_view path) : rest_(path), at_root_(path.starts_with('/')) {}

  std::optional<std::string_view> next() {
    if (at_root_) {
      at_root_ = false;
      return std::string_view("/");
    }
    while (!rest_.empty()) {
      const size_t slash = rest_.find('/');
      const std::string_view part = rest_.substr(0, slash);
      rest_ = slash == std::string_view::npos ? std::string_view() : rest_.substr(slash + 1);
      if (!part.empty() && part != ".") return part;
    }
    return std::nullopt;
  }

 private:
  std::string_view rest_;
  bool at_root_;
};

}  // namespace

std::optional<std::string> last_component_text(const std::string& path) {
  const std::string_view trimmed = without_trailing_slashes(path);
  const size_t slash = trimmed.rfind('/');
  const std::string_view last =
      slash == std::string_view::npos ? trimmed : trimmed.substr(slash + 1);
  if (last.empty() || last == "..") return std::nullopt;
  return lossy_utf8(last);
}

std::optional<std::string> parent_path(const std::string& path) {
  const std::string_view trimmed = without_trailing_slashes(path);
  if (trimmed.empty() || trimmed == "/") return std::nullopt;
  const size_t slash = trimmed.rfind('/');
  if (slash == std::string_view::npos) return std::string();
  return std::string(without_trailing_slashes(trimmed.substr(0, slash == 0 ? 1 : slash)));
}

std::string child_path(std::string_view folder, std::string_view relative) {
  if (folder.empty()) return std::string(relative);
  return join_path(folder, relative);
}

int compare_components(std::string_view a, std::string_view b) {
  Components left(a), right(b);
  while (true) {
    const auto x = left.next();
    const auto y = right.next();
    if (!x || !y) return x ? 1 : (y ? -1 : 0);
    if (const int order = x->compare(*y); order != 0) return order < 0 ? -1 : 1;
  }
}

bool exists(const std::string& path) {
  struct stat metadata {};
  return stat(path.c_str(), &metadata) == 0;
}

bool is_folder(const std::string& path) {
  struct stat metadata {};
  return stat(path.c_str(), &metadata) == 0 && S_ISDIR(metadata.st_mode);
}

}  // namespace orvc::junk
