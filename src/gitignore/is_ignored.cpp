#include <algorithm>

#include "gitignore/gitignore.hpp"
#include "gitignore/glob_match.hpp"
#include "gitignore/unicode_text.hpp"
#include "util/lexical_path.hpp"

namespace orvc::gitignore {
namespace {

// Matches at the start of the path or, for an unanchored rule, right after any "/".
bool rule_matches(const IgnoreRule& rule, std::u32string_view relative) {
  GlobMatcher matcher(rule.tokens, relative);
  if (matcher.matches(0, 0)) return true;
  if (rule.anchored) return false;
  for (size_t i = 0; i < relative.size(); ++i) {
    if (relative[i] == U'/' && matcher.matches(0, i + 1)) return true;
  }
  return false;
}

}  // namespace

bool is_ignored(std::span<const IgnoreFile> files, std::string_view path, EntryKind kind) {
  bool ignored = false;
  for (const IgnoreFile& file : files) {
    const auto rest = relative_below(file.base_dir, path);
    if (!rest || rest->empty()) continue;
    std::u32string relative = decode_utf8(*rest);
    std::ranges::replace(relative, U'\\', U'/');
    for (const IgnoreRule& rule : file.rules) {
      // A rule that cannot change the verdict needs no matching.
      if ((rule.dir_only && kind == EntryKind::File) || rule.negated != ignored) continue;
      if (rule_matches(rule, relative)) ignored = !rule.negated;
    }
  }
  return ignored;
}

}  // namespace orvc::gitignore
