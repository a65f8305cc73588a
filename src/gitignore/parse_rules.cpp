#include "gitignore/parse_rules.hpp"

#include "gitignore/unicode_text.hpp"

namespace orvc::gitignore {
namespace {

// Reads a bracket expression whose "[" is at `open`; returns the class and the position after
// its "]", or nothing when no "]" follows.
std::optional<std::pair<CharClass, size_t>> read_char_class(std::u32string_view pattern,
                                                            size_t open) {
  CharClass char_class;
  size_t i = open + 1;
  if (i < pattern.size() && (pattern[i] == U'^' || pattern[i] == U'!')) {
    char_class.negated = true;
    ++i;
  }
  const size_t close = pattern.find(U']', i);
  if (close == std::u32string_view::npos) return std::nullopt;
  while (i < close) {
    // A range's upper end is never "]", so the first "]" is always the closing one.
    if (i + 2 < close && pattern[i + 1] == U'-') {
      char_class.ranges.emplace_back(pattern[i], pattern[i + 2]);
      i += 3;
    } else {
      char_class.characters.push_back(pattern[i]);
      ++i;
    }
  }
  return std::pair{std::move(char_class), close + 1};
}

}  // namespace

std::vector<GlobToken> tokenize_pattern(std::u32string_view pattern) {
  std::vector<GlobToken> tokens;
  for (size_t i = 0; i < pattern.size();) {
    const char32_t c = pattern[i];
    if (c == U'*') {
      if (i + 1 < pattern.size() && pattern[i + 1] == U'*') {
        if (i + 2 < pattern.size() && pattern[i + 2] == U'/') {
          tokens.emplace_back(DoubleStarSlash{});
          i += 3;
        } else {
          tokens.emplace_back(DoubleStar{});
          i += 2;
        }
      } else {
        tokens.emplace_back(Star{});
        ++i;
      }
    } else if (c == U'/') {
      tokens.emplace_back(Slash{});
      ++i;
    } else if (c == U'?') {
      tokens.emplace_back(AnyChar{});
      ++i;
    } else if (c == U'[') {
      if (auto char_class = read_char_class(pattern, i)) {
        tokens.emplace_back(std::move(char_class->first));
        i = char_class->second;
      } else {
        tokens.emplace_back(Literal{U'['});
        ++i;
      }
    } else {
      tokens.emplace_back(Literal{c});
      ++i;
    }
  }
  return tokens;
}

std::optional<IgnoreRule> parse_ignore_line(std::u32string_view line) {
  while (!line.empty() && is_unicode_white_space(line.back())) line.remove_suffix(1);
  if (line.empty() || line.front() == U'#') return std::nullopt;

  IgnoreRule rule;
  if (line.front() == U'!') {
    rule.negated = true;
    line.remove_prefix(1);
  }
  if (line.size() >= 2 && line[0] == U'\\' && (line[1] == U'#' || line[1] == U'!')) {
    line.remove_prefix(1);
  }
  rule.dir_only = !line.empty() && line.back() == U'/';
  const bool leading_slash = !line.empty() && line.front() == U'/';
  while (!line.empty() && line.back() == U'/') line.remove_suffix(1);
  while (!line.empty() && line.front() == U'/') line.remove_prefix(1);
  rule.anchored = leading_slash || line.find(U'/') != std::u32string_view::npos;
  rule.tokens = tokenize_pattern(line);
  return rule;
}

std::vector<IgnoreRule> parse_ignore_text(std::string_view text) {
  const std::u32string characters = decode_utf8(text);
  std::u32string_view rest = characters;
  std::vector<IgnoreRule> rules;
  while (!rest.empty()) {
    const size_t newline = rest.find(U'\n');
    std::u32string_view line = rest.substr(0, newline);
    rest = newline == std::u32string_view::npos ? std::u32string_view{} : rest.substr(newline + 1);
    if (!line.empty() && line.back() == U'\r') line.remove_suffix(1);
    if (auto rule = parse_ignore_line(line)) rules.push_back(std::move(*rule));
  }
  return rules;
}

}  // namespace orvc::gitignore
