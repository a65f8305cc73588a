#include "removal/session_id.hpp"

#include <fcntl.h>
#include <fmt/format.h>
#include <sys/random.h>
#include <sys/types.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <ctime>
#include <random>

#include "util/text.hpp"
#include "util/unique_fd.hpp"

namespace orvc::removal {
namespace {

void fill_random(std::array<unsigned char, 16>& bytes) {
  if (getentropy(bytes.data(), bytes.size()) == 0) return;
  const UniqueFd fd(open("/dev/urandom", O_RDONLY | O_CLOEXEC));
  if (fd && read(fd.get(), bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size())) {
    return;
  }
  std::random_device device;
  for (auto& b : bytes) b = static_cast<unsigned char>(device());
}

std::string hyphenated(std::string_view hex32) {
  std::string out;
  out.reserve(36);
  for (size_t i = 0; i < hex32.size(); ++i) {
    if (i == 8 || i == 12 || i == 16 || i == 20) out.push_back('-');
    out.push_back(static_cast<char>("0123456789abcdef"[hex_digit_value(hex32[i])]));
  }
  return out;
}

}  // namespace

std::string new_uuid_v4() {
  std::array<unsigned char, 16> bytes{};
  fill_random(bytes);
  bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0F) | 0x40);
  bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);
  std::string hex;
  for (unsigned char b : bytes) hex += fmt::format("{:02x}", b);
  return hyphenated(hex);
}

std::optional<std::string> canonical_uuid(std::string_view text) {
  std::string digits;
  if (text.size() == 36) {
    for (size_t i = 0; i < text.size(); ++i) {
      const bool hyphen_place = i == 8 || i == 13 || i == 18 || i == 23;
      if (hyphen_place != (text[i] == '-')) return std::nullopt;
      if (!hyphen_place) digits.push_back(text[i]);
    }
  } else if (text.size() == 32) {
    digits = text;
  } else {
    return std::nullopt;
  }
  for (char c : digits) {
    if (hex_digit_value(c) < 0) return std::nullopt;
  }
  return hyphenated(digits);
}

std::string rfc3339_utc(std::chrono::system_clock::time_point moment) {
  using namespace std::chrono;
  const auto since_epoch = duration_cast<nanoseconds>(moment.time_since_epoch());
  auto seconds = duration_cast<std::chrono::seconds>(since_epoch);
  if (seconds > since_epoch) seconds -= std::chrono::seconds(1);  // floor for times before 1970
  const int64_t nanos = (since_epoch - seconds).count();
  const std::time_t whole = static_cast<std::time_t>(seconds.count());
  std::tm utc{};
  gmtime_r(&whole, &utc);
  std::string fraction;
  if (nanos % 1000000 == 0 && nanos != 0) {
    fraction = fmt::format(".{:03}", nanos / 1000000);
  } else if (nanos % 1000 == 0 && nanos != 0) {
    fraction = fmt::format(".{:06}", nanos / 1000);
  } else if (nanos != 0) {
    fraction = fmt::format(".{:09}", nanos);
  }
  return fmt::format("{:04}-{:02}-{:02}T{:02}:{:02}:{:02}{}+00:00", utc.tm_year + 1900,
                     utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, fraction);
}

}  // namespace orvc::removal
