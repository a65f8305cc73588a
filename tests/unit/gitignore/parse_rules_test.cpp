#include "gitignore/parse_rules.hpp"

#include <gtest/gtest.h>

namespace orvc::gitignore {
namespace {

IgnoreRule only_rule(std::string_view text) {
  auto rules = parse_ignore_text(text);
  EXPECT_EQ(rules.size(), 1u) << text;
  return rules.empty() ? IgnoreRule{} : rules.front();
}

TEST(ParseIgnoreText, SkipsBlankLinesAndCommentsAndKeepsLineOrder) {
  const auto rules = parse_ignore_text("# comment\n\n   \n*.log\r\n!keep.log\nlast");
  ASSERT_EQ(rules.size(), 3u);
  EXPECT_FALSE(rules[0].negated);
  EXPECT_TRUE(rules[1].negated);
  EXPECT_EQ(rules[2].tokens.size(), 4u);
}

TEST(ParseIgnoreText, TrailingWhiteSpaceIsDroppedLeadingIsKept) {
  EXPECT_EQ(only_rule("foo  \t\u3000").tokens.size(), 3u);
  const auto leading = only_rule(" foo");
  ASSERT_EQ(leading.tokens.size(), 4u);
  EXPECT_EQ(std::get<Literal>(leading.tokens[0]).character, U' ');
}

TEST(ParseIgnoreText, EscapedHashAndBangAreLiterals) {
  const auto hash = only_rule("\\#notes");
  EXPECT_FALSE(hash.negated);
  EXPECT_EQ(std::get<Literal>(hash.tokens[0]).character, U'#');
  const auto bang = only_rule("\\!x");
  EXPECT_FALSE(bang.negated);
  EXPECT_EQ(std::get<Literal>(bang.tokens[0]).character, U'!');
  // Any other backslash stays a literal backslash.
  EXPECT_EQ(std::get<Literal>(only_rule("\\*").tokens[0]).character, U'\\');
}

TEST(ParseIgnoreText, SlashesSetAnchoredAndDirOnly) {
  const auto leading = only_rule("/dist");
  EXPECT_TRUE(leading.anchored);
  EXPECT_EQ(leading.tokens.size(), 4u);
  EXPECT_FALSE(only_rule("dist").anchored);
  EXPECT_TRUE(only_rule("docs/*.md").anchored);
  const auto trailing = only_rule("build/");
  EXPECT_TRUE(trailing.dir_only);
  EXPECT_FALSE(trailing.anchored);
  EXPECT_EQ(trailing.tokens.size(), 5u);
}

TEST(TokenizePattern, StarsBecomeTheirThreeKinds) {
  const auto tokens = tokenize_pattern(U"**/a**b*");
  ASSERT_EQ(tokens.size(), 5u);
  EXPECT_TRUE(std::holds_alternative<DoubleStarSlash>(tokens[0]));
  EXPECT_TRUE(std::holds_alternative<DoubleStar>(tokens[2]));
  EXPECT_TRUE(std::holds_alternative<Star>(tokens[4]));
  const auto three = tokenize_pattern(U"***");
  ASSERT_EQ(three.size(), 2u);
  EXPECT_TRUE(std::holds_alternative<DoubleStar>(three[0]));
  EXPECT_TRUE(std::holds_alternative<Star>(three[1]));
}

TEST(TokenizePattern, BracketExpressions) {
  const auto range = std::get<CharClass>(tokenize_pattern(U"[a-c1]")[0]);
  EXPECT_EQ(range.ranges.size(), 1u);
  EXPECT_EQ(range.characters, std::vector<char32_t>{U'1'});
  EXPECT_TRUE(std::get<CharClass>(tokenize_pattern(U"[!x]")[0]).negated);
  EXPECT_TRUE(std::get<CharClass>(tokenize_pattern(U"[^x]")[0]).negated);
  // "[]" is an empty class; a "-" before "]" is a member.
  EXPECT_TRUE(std::get<CharClass>(tokenize_pattern(U"[]")[0]).characters.empty());
  EXPECT_EQ(std::get<CharClass>(tokenize_pattern(U"[a-]")[0]).characters,
            (std::vector<char32_t>{U'a', U'-'}));
}

TEST(TokenizePattern, UnterminatedBracketIsALiteral) {
  const auto tokens = tokenize_pattern(U"[abc");
  ASSERT_EQ(tokens.size(), 4u);
  EXPECT_EQ(std::get<Literal>(tokens[0]).character, U'[');
  EXPECT_EQ(std::get<Literal>(tokens[3]).character, U'c');
}

}  // namespace
}  // namespace orvc::gitignore
