#include "util/base64.hpp"

#include <gtest/gtest.h>

namespace orvc {
namespace {

// RFC 4648 section 10, and bytes that are not text.
TEST(Base64, KnownVectors) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"", ""},
      {"f", "Zg=="},
      {"fo", "Zm8="},
      {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="},
      {"fooba", "Zm9vYmE="},
      {"foobar", "Zm9vYmFy"},
      {std::string_view("\xff\xfe\x00\x80", 4), "//4AgA=="},
      {"bad\xff\xfename", "YmFk//5uYW1l"},
  };
  for (const auto& [bytes, encoded] : cases) EXPECT_EQ(base64_encode(bytes), encoded) << encoded;
}

}  // namespace
}  // namespace orvc
