#pragma once
// Parsing of one ".gitignore" text into rules. Only "\#" and "\!" at the start of a pattern are
// escapes; a "[" without a closing "]" is a literal.
#include <optional>
#include <string_view>
#include <vector>

#include "gitignore/ignore_rules.hpp"

namespace orvc::gitignore {

// The rules of a whole file's text (valid UTF-8), in line order.
std::vector<IgnoreRule> parse_ignore_text(std::string_view text);

// One line without its line break; nothing for blank lines and comments.
std::optional<IgnoreRule> parse_ignore_line(std::u32string_view line);

std::vector<GlobToken> tokenize_pattern(std::u32string_view pattern);

}  // namespace orvc::gitignore
