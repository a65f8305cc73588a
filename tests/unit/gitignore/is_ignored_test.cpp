#include <gtest/gtest.h>

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
  bool ignored;
};

const Case kCases[] = {
    // Negation, anchoring, "**" between slashes, "?", "*" and simple classes are compared with
    // Git itself in git_cross_check_test; here, what the generator leaves out.
    {"a**z", "a/b/z", true},
    // Folder-only rules never decide here.
    {"build/", "build/out.o", false},
    {"*.o\n!build/", "build/out.o", true},
    // Escapes, comments, blanks, trailing spaces and line ends.
    {"\\#notes", "#notes", true},
    {"\\!x", "!x", true},
    {"\\*", "a", false},
    {"# notes", "# notes", false},
    {"foo  \t\u3000", "foo", true},
    {" foo", "foo", false},
    {"x\r\nfoo\r\n", "foo", true},
    // Bracket classes: "[]" is empty, a "-" before "]" is a member, an open "[" is literal.
    {"[abc", "[abc", true},
    {"[abc", "a", false},
    {"x[!a]y", "x/y", false},
    {"a[]b", "ab", false},
    {"a[x-]", "a-", true},
    // Characters are Unicode scalars, compared case-sensitively.
    {"?.txt", "é.txt", true},
    {"[à-ü]", "é", true},
    {"Foo", "foo", false},
};

TEST(IsIgnored, Rules) {
  for (const Case& c : kCases) {
    EXPECT_EQ(ignored(c.rules, c.path), c.ignored) << c.rules << " | " << c.path;
  }
}

// Rules ending in "/" decide for paths the caller knows to be folders, and only for those.
struct Row {
  const char* rules;
  const char* relative;
  bool as_folder;
  bool as_file;
};

TEST(FolderRules, DirectoryRulesApplyToFoldersOnly) {
  const Row rows[] = {
      {"build/", "build", true, false},
      {"build/", "web/build", true, false},
      {"build/", "build/sub", true, false},  // a folder inside an ignored one
      {"/build/", "build", true, false},
      {"/build/", "web/build", false, false},
      {"build/\n!build/", "build", false, false},
      {"bin/\n!keep/", "bin", true, false},
      {"out", "out", true, true},  // a rule without "/" is the same for both
      {"*.o", "build", false, false},
      {"build/*/", "build/x", true, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.rules) + " | " + row.relative);
    const std::vector<IgnoreFile> files = {{"/repo", parse_ignore_text(row.rules)}};
    const std::string path = std::string("/repo/") + row.relative;
    EXPECT_EQ(is_ignored(files, path, EntryKind::Folder), row.as_folder);
    EXPECT_EQ(is_ignored(files, path, EntryKind::File), row.as_file);
    EXPECT_EQ(is_ignored(files, path), row.as_file);  // a file unless told otherwise
  }
}

TEST(IsIgnored, PathsOutsideTheBaseAreNotJudged) {
  const std::vector<IgnoreFile> files = {{"/repo/sub", parse_ignore_text("*")}};
  EXPECT_FALSE(is_ignored(files, "/repo/a"));
  EXPECT_FALSE(is_ignored(files, "/repo/subx/a"));
  EXPECT_FALSE(is_ignored(files, "/repo/sub"));
  EXPECT_TRUE(is_ignored(files, "/repo//sub/./a"));
}

TEST(GlobMatch, HostilePatternAnswersInPolynomialSteps) {
  const auto tokens = tokenize_pattern(U"**a**a**a**a**a**a**a**b");
  const std::u32string path(200, U'a');
  GlobMatcher matcher(tokens, path);
  EXPECT_FALSE(matcher.matches(0, 0));
  const uint64_t bound = tokens.size() * (path.size() + 1) * (path.size() + 1);
  EXPECT_LE(matcher.steps(), bound);
  // The plain backtracking walk of this pattern would take far more than 10^12 steps.
  EXPECT_TRUE(ignored("**a**a**a**a**a**a**a**b", std::string(199, 'a') + "b"));
  EXPECT_FALSE(ignored("*a*a*a*a*a*a*a*a*b", std::string(200, 'a')));
}

}  // namespace
}  // namespace orvc::gitignore
