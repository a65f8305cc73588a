#include <blake3.h>
#include <gtest/gtest.h>

#include <string>

#include "duplicates/file_hasher.hpp"

namespace orvc::duplicates {
namespace {

std::string blake3_hex(const std::string& input) {
  blake3_hasher hasher;
  blake3_hasher_init(&hasher);
  blake3_hasher_update(&hasher, input.data(), input.size());
  Digest digest;
  blake3_hasher_finalize(&hasher, digest.data(), digest.size());
  return to_hex(digest);
}

TEST(Blake3, MatchesThePublishedDigests) {
  EXPECT_EQ(blake3_hex(""), "af1349b9f5f9a1a6a0404dea36dcc9499bcb25c9adc112b7cc9a93cae41f3262");
  EXPECT_EQ(blake3_hex("abc"), "6437b3ac38465133ffb63b75273a8db548c558465d79db03fd359c6cd5bd9d85");
}

}  // namespace
}  // namespace orvc::duplicates
