#include "safety/path_rules.hpp"

#include <climits>

#include "platform/platform.hpp"
#include "util/text.hpp"

namespace orvc::safety {
namespace {

enum class Case { Exact, AsciiInsensitive };

bool same_names(std::string_view a, bool a_valid, std::string_view b, bool b_valid, Case mode) {
  if (a_valid && b_valid) {
    return mode == Case::Exact ? a == b : equals_ascii_ci(a, b);
  }
  const std::string left = lossy_utf8(a);
  const std::string right = lossy_utf8(b);
  return mode == Case::Exact ? left == right : equals_ascii_ci(left, right);
}

bool same_component(const PathComponent& a, const PathComponent& b, Case mode) {
  if (a.kind != b.kind) return false;
  if (a.kind != ComponentKind::Normal) return true;
  return same_names(a.bytes, is_valid_utf8(a.bytes), b.bytes, is_valid_utf8(b.bytes), mode);
}

bool same_split_component(const SplitPath& a, size_t i, const SplitPath& b, size_t j) {
  if (a.kind(i) != b.kind(j)) return false;
  if (a.kind(i) != ComponentKind::Normal) return true;
  return same_names(a.bytes(i), a.valid_utf8(i), b.bytes(j), b.valid_utf8(j),
                    Case::AsciiInsensitive);
}

bool compare_components(std::string_view path, std::string_view base, Case mode) {
  ComponentReader path_reader(path);
  ComponentReader base_reader(base);
  while (true) {
    const auto base_part = base_reader.next();
    const auto path_part = path_reader.next();
    if (!base_part) return true;
    if (!path_part) return false;
    if (!same_component(*path_part, *base_part, mode)) return false;
  }
}

std::string join_components(const std::vector<PathComponent>& parts, size_t count) {
  std::string out;
  for (size_t i = 0; i < count; ++i) {
    if (parts[i].kind == ComponentKind::Root) {
      out.assign(1, '/');  // only ever the first component
      continue;
    }
    if (!out.empty() && out.back() != '/') out.push_back('/');
    out.append(parts[i].bytes);
  }
  return out;
}

}  // namespace

SplitPath::SplitPath(std::string text) : text_(std::move(text)) {
  ComponentReader reader(text_);
  while (auto part = reader.next()) {
    const auto offset = part->kind == ComponentKind::Root
                            ? size_t{0}
                            : static_cast<size_t>(part->bytes.data() - text_.data());
    const bool valid = part->kind != ComponentKind::Normal || is_valid_utf8(part->bytes);
    parts_.push_back({part->kind, static_cast<uint32_t>(offset),
                      static_cast<uint32_t>(part->bytes.size()), valid});
  }
}

bool starts_with_ci(const SplitPath& path, const SplitPath& base) {
  if (base.size() > path.size()) return false;
  for (size_t i = 0; i < base.size(); ++i) {
    if (!same_split_component(path, i, base, i)) return false;
  }
  return true;
}

bool equals_ci(const SplitPath& path, const SplitPath& other) {
  return path.size() == other.size() && starts_with_ci(path, other);
}

std::string normalize_lexically(const std::string& path) {
  std::vector<PathComponent> kept;
  for (const PathComponent& part : path_components(path)) {
    if (part.kind == ComponentKind::CurrentDir) continue;
    if (part.kind == ComponentKind::ParentDir && !kept.empty() &&
        kept.back().kind == ComponentKind::Normal) {
      kept.pop_back();
      continue;
    }
    kept.push_back(part);
  }
  return join_components(kept, kept.size());
}

bool path_starts_with_ci(const std::string& path, const std::string& base) {
  return compare_components(path, base, Case::AsciiInsensitive);
}

bool path_starts_with(std::string_view path, std::string_view base) {
  return compare_components(path, base, Case::Exact);
}

std::string join_relative(const std::string& base, std::string_view relative) {
  if (base.empty()) return std::string(relative);
  return join_path(base, relative);
}

std::optional<std::string> canonicalize(const std::string& path) {
  if (path.empty() || path.find('\0') != std::string::npos) return std::nullopt;
  // The OS refuses such names (ENAMETOOLONG); failing early keeps climbing a deep path linear.
  if (path.size() >= PATH_MAX) return std::nullopt;
  return platform::canonical_path(path);
}

std::optional<std::string> resolve_existing_prefix(const std::string& path) {
  const std::vector<PathComponent> parts = path_components(path);
  if (parts.empty() || parts.back().kind != ComponentKind::Normal) return std::nullopt;
  // Each ancestor is a prefix of the path text, so climbing a deep path copies little.
  const auto end_of = [&](size_t index) -> size_t {
    const PathComponent& part = parts[index];
    if (part.kind == ComponentKind::Root) return 1;
    return static_cast<size_t>(part.bytes.data() - path.data()) + part.bytes.size();
  };
  size_t kept = parts.size() - 1;  // components of the folder being canonicalised
  while (kept > 0) {
    const size_t end = end_of(kept - 1);
    if (auto canonical = end < PATH_MAX ? canonicalize(path.substr(0, end)) : std::nullopt) {
      std::string resolved = std::move(*canonical);
      for (size_t i = kept; i < parts.size(); ++i) {
        if (resolved.back() != '/') resolved.push_back('/');
        resolved.append(parts[i].bytes);
      }
      return resolved;
    }
    if (parts[kept - 1].kind != ComponentKind::Normal) return std::nullopt;
    --kept;
  }
  return std::nullopt;
}

}  // namespace orvc::safety
