#include "safety/unicode_lower.hpp"

#include <utf8proc.h>

#include <vector>

#include "util/text.hpp"

namespace orvc::safety {
namespace {

constexpr utf8proc_int32_t kCapitalSigma = 0x03A3;
constexpr utf8proc_int32_t kFinalSigma = 0x03C2;
constexpr utf8proc_int32_t kCapitalIWithDot = 0x0130;
constexpr utf8proc_int32_t kCombiningDotAbove = 0x0307;

bool is_cased(utf8proc_int32_t c) {
  const auto category = utf8proc_category(c);
  return category == UTF8PROC_CATEGORY_LU || category == UTF8PROC_CATEGORY_LL ||
         category == UTF8PROC_CATEGORY_LT || utf8proc_tolower(c) != c || utf8proc_toupper(c) != c;
}

bool is_case_ignorable(utf8proc_int32_t c) {
  switch (utf8proc_category(c)) {
    case UTF8PROC_CATEGORY_MN:
    case UTF8PROC_CATEGORY_ME:
    case UTF8PROC_CATEGORY_CF:
    case UTF8PROC_CATEGORY_LM:
    case UTF8PROC_CATEGORY_SK:
      return true;
    default:
      break;
  }
  switch (c) {
    case 0x27:
    case 0x2E:
    case 0x3A:
    case 0xB7:
    case 0x387:
    case 0x5F4:
    case 0x2018:
    case 0x2019:
    case 0x2024:
    case 0x2027:
    case 0xFE13:
    case 0xFE52:
    case 0xFE55:
    case 0xFF07:
    case 0xFF0E:
    case 0xFF1A:
      return true;
    default:
      return false;
  }
}

// Skips case-ignorable code points from `from` in direction `step`; true when a cased one follows.
bool cased_after_ignorables(const std::vector<utf8proc_int32_t>& points, long from, long step) {
  for (long i = from; i >= 0 && i < static_cast<long>(points.size()); i += step) {
    if (is_case_ignorable(points[i])) continue;
    return is_cased(points[i]);
  }
  return false;
}

void append_code_point(std::string& out, utf8proc_int32_t c) {
  utf8proc_uint8_t buffer[4];
  const auto length = utf8proc_encode_char(c, buffer);
  out.append(reinterpret_cast<const char*>(buffer), static_cast<size_t>(length));
}

}  // namespace

std::string unicode_lower(const std::string& text) {
  const std::string valid = lossy_utf8(text);
  std::vector<utf8proc_int32_t> points;
  points.reserve(valid.size());
  const auto* bytes = reinterpret_cast<const utf8proc_uint8_t*>(valid.data());
  for (size_t i = 0; i < valid.size();) {
    utf8proc_int32_t c = 0;
    const auto length =
        utf8proc_iterate(bytes + i, static_cast<utf8proc_ssize_t>(valid.size() - i), &c);
    if (length <= 0) break;  // cannot happen after lossy decoding
    points.push_back(c);
    i += static_cast<size_t>(length);
  }
  std::string out;
  out.reserve(valid.size());
  for (size_t i = 0; i < points.size(); ++i) {
    const utf8proc_int32_t c = points[i];
    if (c == kCapitalIWithDot) {
      out.push_back('i');
      append_code_point(out, kCombiningDotAbove);
    } else if (c == kCapitalSigma) {
      const long at = static_cast<long>(i);
      const bool word_final =
          cased_after_ignorables(points, at - 1, -1) && !cased_after_ignorables(points, at + 1, 1);
      append_code_point(out, word_final ? kFinalSigma : utf8proc_tolower(c));
    } else {
      append_code_point(out, utf8proc_tolower(c));
    }
  }
  return out;
}

}  // namespace orvc::safety
