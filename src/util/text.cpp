#include "util/text.hpp"

#include <fmt/format.h>

#include <cstring>

namespace orvc {
namespace {

// Length of the valid UTF-8 sequence starting at s[i], or 0 when it is invalid.
size_t utf8_sequence_length(std::string_view s, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char c = byte(i);
  if (c < 0x80) return 1;
  size_t len = 0;
  unsigned char lo = 0x80, hi = 0xBF;
  if (c >= 0xC2 && c <= 0xDF) {
    len = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    len = 3;
    if (c == 0xE0) lo = 0xA0;
    if (c == 0xED) hi = 0x9F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    len = 4;
    if (c == 0xF0) lo = 0x90;
    if (c == 0xF4) hi = 0x8F;
  } else {
    return 0;
  }
  if (i + len > s.size()) return 0;
  if (byte(i + 1) < lo || byte(i + 1) > hi) return 0;
  for (size_t k = 2; k < len; ++k) {
    if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
  }
  return len;
}

// How many bytes a maximal invalid prefix covers (one replacement character each).
size_t invalid_run_length(std::string_view s, size_t i) {
  const unsigned char c = static_cast<unsigned char>(s[i]);
  size_t expected = (c >= 0xC2 && c <= 0xDF)   ? 2
                    : (c >= 0xE0 && c <= 0xEF) ? 3
                    : (c >= 0xF0 && c <= 0xF4) ? 4
                                               : 1;
  size_t k = 1;
  while (k < expected && i + k < s.size()) {
    const unsigned char n = static_cast<unsigned char>(s[i + k]);
    if (n < 0x80 || n > 0xBF) break;
    if (k == 1) {
      if ((c == 0xE0 && n < 0xA0) || (c == 0xED && n > 0x9F) || (c == 0xF0 && n < 0x90) ||
          (c == 0xF4 && n > 0x8F))
        break;
    }
    ++k;
  }
  return k;
}

}  // namespace

bool is_valid_utf8(std::string_view bytes) {
  for (size_t i = 0; i < bytes.size();) {
    const size_t len = utf8_sequence_length(bytes, i);
    if (len == 0) return false;
    i += len;
  }
  return true;
}

std::string lossy_utf8(std::string_view bytes) {
  if (is_valid_utf8(bytes)) return std::string(bytes);
  std::string out;
  out.reserve(bytes.size() + 8);
  for (size_t i = 0; i < bytes.size();) {
    const size_t len = utf8_sequence_length(bytes, i);
    if (len > 0) {
      out.append(bytes.substr(i, len));
      i += len;
    } else {
      out.append("\xEF\xBF\xBD");
      i += invalid_run_length(bytes, i);
    }
  }
  return out;
}

int hex_digit_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

char ascii_lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

std::string ascii_lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = ascii_lower(c);
  return out;
}

bool equals_ascii_ci(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (ascii_lower(a[i]) != ascii_lower(b[i])) return false;
  }
  return true;
}

bool starts_with_ascii_ci(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && equals_ascii_ci(text.substr(0, prefix.size()), prefix);
}

std::string os_error_text(int error_number) {
  return fmt::format("{} (os error {})", std::strerror(error_number), error_number);
}

std::string join_path(std::string_view folder, std::string_view name) {
  std::string out(folder);
  if (out.empty() || out.back() != '/') out.push_back('/');
  out.append(name);
  return out;
}

}  // namespace orvc
