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

TEST(IsIgnored, NegationUnignoresAndTheLastMatchDecides) {
  EXPECT_TRUE(ignored("*.log\n!keep.log", "logs/app.log"));
  EXPECT_FALSE(ignored("*.log\n!keep.log", "logs/keep.log"));
  EXPECT_TRUE(ignored("*.log\n!keep.log\nkeep.log", "logs/keep.log"));
}

TEST(IsIgnored, Anchoring) {
  EXPECT_TRUE(ignored("/dist", "dist"));
  EXPECT_TRUE(ignored("/dist", "dist/app.js"));
  EXPECT_FALSE(ignored("/dist", "web/dist/app.js"));
  EXPECT_TRUE(ignored("dist", "dist"));
  EXPECT_TRUE(ignored("dist", "dist/app.js"));
  EXPECT_TRUE(ignored("dist", "web/dist/app.js"));
  EXPECT_FALSE(ignored("dist", "web/distro"));
}

TEST(IsIgnored, SlashInsidePatternAnchorsIt) {
  EXPECT_TRUE(ignored("docs/*.md", "docs/a.md"));
  EXPECT_FALSE(ignored("docs/*.md", "docs/sub/a.md"));
  EXPECT_FALSE(ignored("docs/*.md", "x/docs/a.md"));
}

TEST(IsIgnored, DoubleStars) {
  for (auto path : {"tmp/x", "a/tmp", "a/b/tmp/x"}) EXPECT_TRUE(ignored("**/tmp", path)) << path;
  EXPECT_FALSE(ignored("**/tmp", "a/tmpx"));
  EXPECT_TRUE(ignored("a/**/b", "a/b"));
  EXPECT_TRUE(ignored("a/**/b", "a/x/y/b"));
  EXPECT_FALSE(ignored("a/**/b", "a/xb"));
  EXPECT_TRUE(ignored("a**z", "a/b/z"));
}

TEST(IsIgnored, DirOnlyRulesAreSkipped) {
  EXPECT_FALSE(ignored("build/", "build/out.o"));
  EXPECT_TRUE(ignored("*.o\n!build/", "build/out.o"));
}

TEST(IsIgnored, LinesEscapesCommentsAndBlanks) {
  EXPECT_TRUE(ignored("\\#notes", "#notes"));
  EXPECT_TRUE(ignored("\\!x", "!x"));
  EXPECT_FALSE(ignored("\\*", "a"));
  EXPECT_FALSE(ignored("# notes", "# notes"));
  EXPECT_TRUE(ignored("foo  \t\u3000", "foo"));
  EXPECT_FALSE(ignored(" foo", "foo"));
  EXPECT_TRUE(ignored("x\r\nfoo\r\n", "foo"));
}

TEST(IsIgnored, BracketClasses) {
  EXPECT_TRUE(ignored("[abc].txt", "b.txt"));
  EXPECT_TRUE(ignored("[!abc].txt", "d.txt"));
  EXPECT_FALSE(ignored("[!abc].txt", "a.txt"));
  EXPECT_TRUE(ignored("[a-c]1", "b1"));
  EXPECT_TRUE(ignored("[abc", "[abc"));
  EXPECT_FALSE(ignored("[abc", "a"));
  EXPECT_FALSE(ignored("x[!a]y", "x/y"));
  // "[]" is an empty class; a "-" before "]" is a member.
  EXPECT_FALSE(ignored("a[]b", "ab"));
  EXPECT_TRUE(ignored("a[x-]", "a-"));
}

TEST(IsIgnored, CharactersAreUnicodeScalars) {
  EXPECT_TRUE(ignored("?.txt", "é.txt"));
  EXPECT_TRUE(ignored("[à-ü]", "é"));
  EXPECT_FALSE(ignored("Foo", "foo"));
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

TEST(GlobMatch, StartsAtTheGivenPositions) {
  const auto tokens = tokenize_pattern(U"x*.md");
  EXPECT_TRUE(glob_match(tokens, 1, U"docs/a.md", 5));
  EXPECT_FALSE(glob_match(tokens, 0, U"docs/a.md", 5));
  EXPECT_TRUE(glob_match(tokens, 5, U"", 0));
}

}  // namespace
}  // namespace orvc::gitignore
