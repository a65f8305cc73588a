#include <gtest/gtest.h>

#include <optional>
#include <span>

#include "gitignore/gitignore.hpp"
#include "gitignore/glob_match.hpp"
#include "gitignore/parse_rules.hpp"
#include "gitignore/unicode_text.hpp"

namespace orvc::gitignore {
namespace {

// True when the rules of `text`, kept in "/repo", ignore "/repo/<relative>".
bool ignored(std::string_view text, std::string_view relative) {
  const std::vector<IgnoreFile> files = {{"/repo", parse_ignore_text(text)}};
  return is_ignored(files, "/repo/" + std::string(relative));
}

struct Case {
  std::string_view rules;
  std::string_view path;
  bool ignored;                        // as a file, which it is unless told otherwise
  std::optional<bool> as_folder = {};  // checked when given
};

// Negation, anchoring, "**" between slashes, "?", "*" and simple classes are compared with Git
// itself in git_cross_check_test; here, what the generator leaves out: "**" next to a name;
// escapes, comments, blanks, trailing spaces and line ends; bracket classes ("[]" is empty, a "-"
// before "]" is a member, an open "[" is literal); characters as Unicode scalars, compared
// case-sensitively.
const Case kCases[] = {
    {"a**z", "a/b/z", true}, {"\\#notes", "#notes", true},  {"\\!x", "!x", true},
    {"\\*", "a", false},     {"# notes", "# notes", false}, {"foo  \t\u3000", "foo", true},
    {" foo", "foo", false},  {"x\r\nfoo\r\n", "foo", true}, {"[abc", "[abc", true},
    {"[abc", "a", false},    {"x[!a]y", "x/y", false},      {"a[]b", "ab", false},
    {"a[x-]", "a-", true},   {"?.txt", "é.txt", true},      {"[à-ü]", "é", true},
    {"Foo", "foo", false},
};

// Rules ending in "/" decide for paths the caller knows to be folders (a folder inside an ignored
// one too), and only for those; a rule without "/" is the same for both.
const Case kFolderCases[] = {
    {"build/", "build", false, true},       {"build/", "web/build", false, true},
    {"build/", "build/sub", false, true},   {"/build/", "build", false, true},
    {"/build/", "web/build", false, false}, {"build/\n!build/", "build", false, false},
    {"bin/\n!keep/", "bin", false, true},   {"out", "out", true, true},
    {"*.o", "build", false, false},         {"build/*/", "build/x", false, true},
    {"*.o\n!build/", "build/out.o", true},
};

TEST(IsIgnored, Rules) {
  for (const auto cases : {std::span<const Case>(kCases), std::span<const Case>(kFolderCases)})
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.rules) + " | " + std::string(c.path));
      const std::vector<IgnoreFile> files = {{"/repo", parse_ignore_text(c.rules)}};
      const std::string path = "/repo/" + std::string(c.path);
      EXPECT_EQ(ignored(c.rules, c.path), c.ignored);
      EXPECT_EQ(is_ignored(files, path, EntryKind::File), c.ignored);
      EXPECT_TRUE(!c.as_folder || is_ignored(files, path, EntryKind::Folder) == *c.as_folder);
    }
}

TEST(IsIgnored, PathsOutsideTheBaseAreNotJudged) {
  const std::vector<IgnoreFile> files = {{"/repo/sub", parse_ignore_text("*")}};
  for (const char* outside : {"/repo/a", "/repo/subx/a", "/repo/sub"})
    EXPECT_FALSE(is_ignored(files, outside)) << outside;
  EXPECT_TRUE(is_ignored(files, "/repo//sub/./a"));
}

TEST(GlobMatch, HostilePatternAnswersInPolynomialSteps) {
  const auto tokens = tokenize_pattern(U"**a**a**a**a**a**a**a**b");
  const std::u32string path(200, U'a');
  GlobMatcher matcher(tokens, path);
  EXPECT_FALSE(matcher.matches(0, 0));
  EXPECT_LE(matcher.steps(), tokens.size() * (path.size() + 1) * (path.size() + 1));
  // The plain backtracking walk of this pattern would take far more than 10^12 steps.
  EXPECT_TRUE(ignored("**a**a**a**a**a**a**a**b", std::string(199, 'a') + "b"));
  EXPECT_FALSE(ignored("*a*a*a*a*a*a*a*a*b", std::string(200, 'a')));
}

}  // namespace
}  // namespace orvc::gitignore
