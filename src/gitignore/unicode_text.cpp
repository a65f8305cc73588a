#include "gitignore/unicode_text.hpp"

#include "util/text.hpp"

namespace orvc::gitignore {

std::u32string decode_utf8(std::string_view bytes) {
  const std::string valid = lossy_utf8(bytes);
  std::u32string out;
  out.reserve(valid.size());
  for (size_t i = 0; i < valid.size();) {
    const auto lead = static_cast<unsigned char>(valid[i]);
    const size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    char32_t value = length == 1   ? lead
                     : length == 2 ? lead & 0x1F
                     : length == 3 ? lead & 0x0F
                                   : lead & 0x07;
    for (size_t k = 1; k < length; ++k) {
      value = (value << 6) | (static_cast<unsigned char>(valid[i + k]) & 0x3F);
    }
    out.push_back(value);
    i += length;
  }
  return out;
}

bool is_unicode_white_space(char32_t c) {
  return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
         c == 0x3000;
}

}  // namespace orvc::gitignore
