#pragma once
// The parsed form of ".gitignore" files: a small subset of Git's syntax with rules of its own
// (rules ending in "/" decide only for paths known to be folders; only ignore files between the
// repository root and the scan root are read). Characters are Unicode scalar values, compared
// case-sensitively.
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace orvc::gitignore {

struct Literal {
  char32_t character = 0;
};
struct Slash {};
struct AnyChar {};
struct Star {};
struct DoubleStar {};
struct DoubleStarSlash {};
struct CharClass {
  std::vector<char32_t> characters;
  std::vector<std::pair<char32_t, char32_t>> ranges;  // inclusive
  bool negated = false;

  // One character other than "/" that is (or, when negated, is not) a member.
  bool accepts(char32_t c) const;
};

using GlobToken =
    std::variant<Literal, Slash, AnyChar, Star, DoubleStar, DoubleStarSlash, CharClass>;

struct IgnoreRule {
  std::vector<GlobToken> tokens;
  bool anchored = false;  // may match only from the start of the relative path
  bool negated = false;   // a match un-ignores
  bool dir_only = false;  // ended with "/": matched only against paths known to be folders
};

struct IgnoreFile {
  std::string base_dir;           // folder holding the ".gitignore"
  std::vector<IgnoreRule> rules;  // in line order, never empty
};

struct GitIgnoreContext {
  std::string repo_root;          // folder that holds ".git"
  std::vector<IgnoreFile> files;  // from repo_root downwards
};

}  // namespace orvc::gitignore
