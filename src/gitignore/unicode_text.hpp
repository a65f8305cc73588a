#pragma once
// Patterns and paths are compared as Unicode scalar values.
#include <string>
#include <string_view>

namespace orvc::gitignore {

// Decodes UTF-8; invalid sequences become U+FFFD.
std::u32string decode_utf8(std::string_view bytes);

// Unicode White_Space, tabs included.
bool is_unicode_white_space(char32_t c);

}  // namespace orvc::gitignore
