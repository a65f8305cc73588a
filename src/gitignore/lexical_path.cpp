#include "gitignore/lexical_path.hpp"

namespace orvc::gitignore {
namespace {

// Walks the components of a path one at a time, remembering where each one starts.
class ComponentReader {
 public:
  explicit ComponentReader(std::string_view path) : path_(path) {
    if (!path_.empty() && path_.front() == '/') {
      absolute_ = true;
      position_ = 1;
    }
  }

  bool absolute() const { return absolute_; }

  // The next component, or nothing at the end.
  std::optional<std::string_view> next() {
    while (true) {
      while (position_ < path_.size() && path_[position_] == '/') ++position_;
      if (position_ >= path_.size()) return std::nullopt;
      const size_t start = position_;
      while (position_ < path_.size() && path_[position_] != '/') ++position_;
      const std::string_view component = path_.substr(start, position_ - start);
      const bool first = !seen_any_;
      seen_any_ = true;
      if (component == "." && !(first && !absolute_)) continue;
      last_start_ = start;
      return component;
    }
  }

  size_t position() const { return position_; }
  size_t last_start() const { return last_start_; }

 private:
  std::string_view path_;
  bool absolute_ = false;
  bool seen_any_ = false;
  size_t position_ = 0;
  size_t last_start_ = 0;
};

std::string_view trim_separators(std::string_view text) {
  while (true) {
    if (!text.empty() && text.front() == '/') {
      text.remove_prefix(1);
    } else if (text == "." || text.starts_with("./")) {
      text.remove_prefix(1);
    } else {
      break;
    }
  }
  while (!text.empty() && text.back() == '/') text.remove_suffix(1);
  return text;
}

}  // namespace

std::optional<std::string_view> lexical_parent(std::string_view path) {
  ComponentReader reader(path);
  std::optional<size_t> last_start;
  while (reader.next()) last_start = reader.last_start();
  if (!last_start) return std::nullopt;
  std::string_view parent = path.substr(0, *last_start);
  while (parent.size() > 1 && parent.back() == '/') parent.remove_suffix(1);
  return parent;
}

std::optional<std::string_view> relative_below(std::string_view base, std::string_view path) {
  ComponentReader base_reader(base);
  ComponentReader path_reader(path);
  if (base_reader.absolute() != path_reader.absolute()) return std::nullopt;
  while (auto base_component = base_reader.next()) {
    auto path_component = path_reader.next();
    if (!path_component || *path_component != *base_component) return std::nullopt;
  }
  return trim_separators(path.substr(path_reader.position()));
}

}  // namespace orvc::gitignore
