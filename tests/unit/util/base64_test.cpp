#include "util/base64.hpp"

#include <gtest/gtest.h>

namespace orvc {
namespace {

TEST(Base64, PadsAndEncodesBytesThatAreNotText) {
  EXPECT_EQ(base64_encode("fo"), "Zm8=");
  EXPECT_EQ(base64_encode(std::string_view("\xff\xfe\x00\x80", 4)), "//4AgA==");
}

}  // namespace
}  // namespace orvc
