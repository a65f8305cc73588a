#include "gitignore/glob_match.hpp"

#include <algorithm>

namespace orvc::gitignore {
namespace {

constexpr size_t kNoSlot = static_cast<size_t>(-1);

bool is_star_kind(const GlobToken& token) {
  return std::holds_alternative<Star>(token) || std::holds_alternative<DoubleStar>(token) ||
         std::holds_alternative<DoubleStarSlash>(token);
}

// A token that consumes exactly one character.
bool accepts_one(const GlobToken& token, char32_t c) {
  if (const auto* literal = std::get_if<Literal>(&token)) return literal->character == c;
  if (std::holds_alternative<Slash>(token)) return c == U'/';
  if (std::holds_alternative<AnyChar>(token)) return c != U'/';
  return std::get<CharClass>(token).accepts(c);
}

}  // namespace

bool CharClass::accepts(char32_t c) const {
  if (c == U'/') return false;
  const bool member = std::ranges::find(characters, c) != characters.end() ||
                      std::ranges::any_of(ranges, [c](const auto& range) {
                        return range.first <= c && c <= range.second;
                      });
  return member != negated;
}

GlobMatcher::GlobMatcher(std::span<const GlobToken> tokens, std::u32string_view characters)
    : tokens_(tokens), characters_(characters), star_index_(tokens.size(), kNoSlot) {
  for (size_t t = 0; t < tokens.size(); ++t) {
    if (is_star_kind(tokens[t])) star_index_[t] = star_count_++;
  }
}

bool GlobMatcher::matches(size_t t, size_t c) {
  // Single-character tokens never branch, so they are walked in a loop; only the star tokens
  // recurse, and their answers are remembered.
  while (t < tokens_.size()) {
    if (star_index_[t] != kNoSlot) return match_from_star(t, c);
    ++steps_;
    if (c >= characters_.size() || !accepts_one(tokens_[t], characters_[c])) return false;
    ++t;
    ++c;
  }
  return c >= characters_.size() || characters_[c] == U'/';
}

bool GlobMatcher::match_from_star(size_t t, size_t c) {
  if (memo_.empty()) memo_.assign(star_count_ * (characters_.size() + 1), Memo::Unknown);
  Memo& slot = memo_[star_index_[t] * (characters_.size() + 1) + c];
  if (slot == Memo::Unknown) slot = match_star_run(t, c) ? Memo::True : Memo::False;
  return slot == Memo::True;
}

bool GlobMatcher::match_star_run(size_t t, size_t c) {
  const GlobToken& token = tokens_[t];
  const size_t end = characters_.size();
  if (std::holds_alternative<Star>(token)) {
    for (size_t j = c;; ++j) {
      ++steps_;
      if (matches(t + 1, j)) return true;
      if (j == end || characters_[j] == U'/') return false;
    }
  }
  if (std::holds_alternative<DoubleStar>(token)) {
    for (size_t j = c; j <= end; ++j) {
      ++steps_;
      if (matches(t + 1, j)) return true;
    }
    return false;
  }
  ++steps_;
  if (matches(t + 1, c)) return true;
  for (size_t p = c; p < end; ++p) {
    ++steps_;
    if (characters_[p] == U'/' && matches(t + 1, p + 1)) return true;
  }
  return false;
}

bool glob_match(std::span<const GlobToken> tokens, size_t t, std::u32string_view characters,
                size_t c) {
  GlobMatcher matcher(tokens, characters);
  return matcher.matches(t, c);
}

}  // namespace orvc::gitignore
