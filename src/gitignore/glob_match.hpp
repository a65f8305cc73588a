#pragma once
// Matches ignore-pattern tokens against a path's characters. The answers are those of the plain
// backtracking definition (a "*" stops at "/", "**" crosses it, "**/" matches nothing or a run
// ending in "/", and a pattern also matches everything below what it matches), but each
// (token, character) pair is decided at most once, so hostile patterns cost polynomial time.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "gitignore/ignore_rules.hpp"

namespace orvc::gitignore {

// True when tokens[t..] match characters[c..].
bool glob_match(std::span<const GlobToken> tokens, size_t t, std::u32string_view characters,
                size_t c);

// One pattern against one path, tried from several start positions with shared memory of the
// partial answers.
class GlobMatcher {
 public:
  GlobMatcher(std::span<const GlobToken> tokens, std::u32string_view characters);

  bool matches(size_t t, size_t c);

  // How many token steps were taken so far: bounded by tokens × characters² on any input.
  uint64_t steps() const { return steps_; }

 private:
  enum class Memo : uint8_t { Unknown, False, True };
  bool match_star_run(size_t t, size_t c);
  bool match_from_star(size_t t, size_t c);

  std::span<const GlobToken> tokens_;
  std::u32string_view characters_;
  std::vector<size_t> star_index_;  // per token: its slot among the star tokens, or npos
  size_t star_count_ = 0;
  std::vector<Memo> memo_;  // star slot × (characters + 1), allocated on first use
  uint64_t steps_ = 0;
};

}  // namespace orvc::gitignore
