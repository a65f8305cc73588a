#include "util/lexical_path.hpp"

namespace orvc {

std::optional<PathComponent> ComponentReader::next() {
  if (first_ && !rest_.empty() && rest_.front() == '/') {
    first_ = false;
    strip_slashes();
    return PathComponent{ComponentKind::Root, "/"};
  }
  while (true) {
    strip_slashes();
    if (rest_.empty()) return std::nullopt;
    const size_t end = std::min(rest_.find('/'), rest_.size());
    const std::string_view piece = rest_.substr(0, end);
    rest_.remove_prefix(end);
    const bool was_first = first_;
    first_ = false;
    if (piece == ".") {
      if (was_first) return PathComponent{ComponentKind::CurrentDir, piece};
      continue;
    }
    if (piece == "..") return PathComponent{ComponentKind::ParentDir, piece};
    return PathComponent{ComponentKind::Normal, piece};
  }
}

void ComponentReader::strip_slashes() {
  while (!rest_.empty() && rest_.front() == '/') rest_.remove_prefix(1);
}

std::vector<PathComponent> path_components(std::string_view path) {
  std::vector<PathComponent> parts;
  ComponentReader reader(path);
  while (auto part = reader.next()) parts.push_back(*part);
  return parts;
}

std::optional<std::string_view> last_component(std::string_view path) {
  std::optional<PathComponent> last;
  ComponentReader reader(path);
  while (auto part = reader.next()) last = part;
  if (!last || last->kind != ComponentKind::Normal) return std::nullopt;
  return last->bytes;
}

std::optional<std::string_view> parent_path(std::string_view path) {
  std::optional<size_t> last_start;
  ComponentReader reader(path);
  while (auto part = reader.next()) {
    if (part->kind != ComponentKind::Root) last_start = reader.position() - part->bytes.size();
  }
  if (!last_start) return std::nullopt;
  return without_trailing_slashes(path.substr(0, *last_start));
}

std::optional<std::string_view> relative_below(std::string_view base, std::string_view path) {
  if (base.starts_with('/') != path.starts_with('/')) return std::nullopt;
  ComponentReader base_reader(base);
  ComponentReader path_reader(path);
  while (auto base_part = base_reader.next()) {
    const auto path_part = path_reader.next();
    if (!path_part || path_part->bytes != base_part->bytes) return std::nullopt;
  }
  std::string_view rest = path.substr(path_reader.position());
  while (true) {
    if (rest.starts_with('/')) {
      rest.remove_prefix(1);
    } else if (rest == "." || rest.starts_with("./")) {
      rest.remove_prefix(1);
    } else {
      break;
    }
  }
  while (!rest.empty() && rest.back() == '/') rest.remove_suffix(1);
  return rest;
}

std::string_view without_trailing_slashes(std::string_view path) {
  while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
  return path;
}

}  // namespace orvc
