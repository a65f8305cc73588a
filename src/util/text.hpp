#pragma once
// Byte-level text helpers. Paths are byte strings; these turn them into display text.
#include <cstdint>
#include <string>
#include <string_view>

namespace orvc {

bool is_valid_utf8(std::string_view bytes);

// Invalid UTF-8 sequences become U+FFFD, as a lossy decoder would show them.
std::string lossy_utf8(std::string_view bytes);

char ascii_lower(char c);

// The value of one hexadecimal digit of either case; -1 for any other character.
int hex_digit_value(char c);
std::string ascii_lower(std::string_view text);
bool equals_ascii_ci(std::string_view a, std::string_view b);
bool starts_with_ascii_ci(std::string_view text, std::string_view prefix);

// "No such file or directory (os error 2)"
std::string os_error_text(int error_number);

// Joins a folder path and an entry name with exactly one slash.
std::string join_path(std::string_view folder, std::string_view name);

}  // namespace orvc
