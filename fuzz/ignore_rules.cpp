// Ignore rules: the first line is a path below the ignore file's folder, the rest the file's
// text. Parsing and matching never crash, and matching stays within its polynomial step bound.
#include <algorithm>
#include <string>

#include "fuzz_input.hpp"
#include "gitignore/gitignore.hpp"
#include "gitignore/glob_match.hpp"
#include "gitignore/parse_rules.hpp"
#include "gitignore/unicode_text.hpp"

using namespace orvc::gitignore;

namespace {

// Matches one rule the way is_ignored does (from the start, then after every "/") and checks
// the work done against tokens × characters², with room for the constant factors.
void check_step_bound(const IgnoreRule& rule, std::u32string_view relative) {
  GlobMatcher matcher(rule.tokens, relative);
  matcher.matches(0, 0);
  for (size_t i = 0; i < relative.size(); ++i) {
    if (relative[i] == U'/') matcher.matches(0, i + 1);
  }
  const uint64_t tokens = rule.tokens.size() + 1;
  const uint64_t characters = relative.size() + 1;
  ORVC_FUZZ_CHECK(matcher.steps() <= 3 * tokens * characters * characters);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto [path, text] = orvc::fuzz::first_line(orvc::fuzz::as_text(data, size));
  // Paths are short next to rule files; long ones only slow the search down.
  if (path.size() > 128) return 0;
  IgnoreFile file{"/repo", parse_ignore_text(text)};
  for (const IgnoreRule& rule : file.rules) {
    check_step_bound(rule, decode_utf8(path));
  }
  if (file.rules.empty()) return 0;
  const std::string full = "/repo/" + std::string(path);
  const bool ignored = is_ignored({&file, 1}, full);
  // Only a rule that ignores can make a path ignored.
  if (std::ranges::all_of(file.rules, [](const IgnoreRule& rule) { return rule.negated; })) {
    ORVC_FUZZ_CHECK(!ignored);
  }
  // Rules of a folder that does not hold the path never decide.
  file.base_dir = "/elsewhere";
  ORVC_FUZZ_CHECK(!is_ignored({&file, 1}, full));
  return 0;
}
