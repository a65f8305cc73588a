#include "scan/skip_tables.hpp"

#include <algorithm>

#include "util/text.hpp"

namespace orvc::scan {

bool is_skipped_name(std::string_view name) {
  // Every table entry is ASCII, so a name that matches one is valid UTF-8 by construction.
  const auto matches = [&](std::string_view entry) { return entry == name; };
  return std::ranges::any_of(WALK_SKIP_DIR_NAMES, matches) ||
         std::ranges::any_of(WALK_SKIP_FILE_NAMES, matches);
}

bool is_skipped_path(std::string_view path) {
  if (path.size() > kLongestSkipPath) return false;
  return std::ranges::any_of(WALK_SKIP_PATHS,
                             [&](std::string_view entry) { return entry == path; });
}

}  // namespace orvc::scan
