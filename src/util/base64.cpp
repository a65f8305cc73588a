#include "util/base64.hpp"

#include <cstdint>

namespace orvc {

std::string base64_encode(std::string_view bytes) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const uint32_t word = static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])) << 16 |
                          static_cast<uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8 |
                          static_cast<unsigned char>(bytes[i + 2]);
    for (int shift = 18; shift >= 0; shift -= 6) out.push_back(kAlphabet[(word >> shift) & 63]);
  }
  const size_t rest = bytes.size() - i;
  if (rest == 0) return out;
  uint32_t word = static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])) << 16;
  if (rest == 2) word |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8;
  out.push_back(kAlphabet[(word >> 18) & 63]);
  out.push_back(kAlphabet[(word >> 12) & 63]);
  out.push_back(rest == 2 ? kAlphabet[(word >> 6) & 63] : '=');
  out.push_back('=');
  return out;
}

}  // namespace orvc
