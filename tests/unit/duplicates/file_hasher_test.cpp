#include "duplicates/file_hasher.hpp"

#include <blake3.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "support/temp_home.hpp"

namespace orvc::duplicates {
namespace {

using testing::TempDir;

Digest blake3_of(const std::string& bytes) {
  blake3_hasher hasher;
  blake3_hasher_init(&hasher);
  blake3_hasher_update(&hasher, bytes.data(), bytes.size());
  Digest digest;
  blake3_hasher_finalize(&hasher, digest.data(), digest.size());
  return digest;
}

std::string little_endian(uint64_t value) {
  std::string bytes;
  for (int i = 0; i < 8; ++i) bytes += static_cast<char>(value >> (8 * i));
  return bytes;
}

class FileHasherTest : public ::testing::Test {
 protected:
  // A file of `size` patterned bytes; returns its content.
  std::string make(const std::string& name, uint64_t size) {
    testing::write_sized_file(dir / name, size, 7);
    return testing::read_file(dir / name);
  }

  TempDir dir;
  FileHasher hasher;
};

TEST_F(FileHasherTest, PrefixFeedsAtMostTheFirst4096Bytes) {
  const auto big = make("big", 5000);
  EXPECT_EQ(hasher.hash(dir / "big", 5000, HashStage::Prefix), blake3_of(big.substr(0, 4096)));
  const auto small = make("small", 100);
  EXPECT_EQ(hasher.hash(dir / "small", 100, HashStage::Prefix), blake3_of(small));
  make("empty", 0);
  EXPECT_EQ(hasher.hash(dir / "empty", 0, HashStage::Prefix), blake3_of(""));
}

TEST_F(FileHasherTest, SampleFeedsTheSizeThenThreeWindowsOrTheWholeFile) {
  const uint64_t large = 393217;
  const auto content = make("large", large);
  const std::string expected = little_endian(large) + content.substr(0, 131072) +
                               content.substr(large / 2 - 65536, 131072) +
                               content.substr(large - 131072);
  EXPECT_EQ(hasher.hash(dir / "large", large, HashStage::Sample), blake3_of(expected));

  EXPECT_FALSE(hasher.hash_stage(dir / "large", large, HashStage::Sample)->content);

  // A sample that read the whole file also yields the content digest from that one read.
  const auto whole = make("whole", 393216);
  const auto sample = hasher.hash_stage(dir / "whole", 393216, HashStage::Sample);
  ASSERT_TRUE(sample);
  EXPECT_EQ(sample->digest, blake3_of(little_endian(393216) + whole));
  EXPECT_EQ(sample->content, blake3_of(whole));
}

TEST_F(FileHasherTest, SharesContentDigestsOnlyBetweenEqualSamples) {
  const auto twin = make("a", 10000);
  testing::write_file(dir / "b", twin);
  std::string other = twin;
  other.back() ^= 1;
  testing::write_file(dir / "c", other);
  KnownContent known;
  const auto a = hasher.hash_stage(dir / "a", 10000, HashStage::Sample, &known);
  const auto b = hasher.hash_stage(dir / "b", 10000, HashStage::Sample, &known);
  const auto c = hasher.hash_stage(dir / "c", 10000, HashStage::Sample, &known);
  ASSERT_TRUE(a && b && c);
  EXPECT_EQ(known.find(10000, a->digest), blake3_of(twin));
  EXPECT_EQ(b->content, blake3_of(twin));
  EXPECT_EQ(c->content, blake3_of(other));
  EXPECT_EQ(known.find(9999, a->digest), std::nullopt);
}

TEST_F(FileHasherTest, ContentFeedsTheWholeFile) {
  const auto content = make("file", 3 * 65536 + 11);
  EXPECT_EQ(hasher.hash(dir / "file", content.size(), HashStage::Content), blake3_of(content));
}

TEST_F(FileHasherTest, YieldsNothingForWhatIsNoLongerTheExpectedRegularFile) {
  make("file", 8192);
  EXPECT_FALSE(hasher.hash(dir / "file", 8193, HashStage::Prefix));  // shrank or grew
  EXPECT_FALSE(hasher.hash(dir / "missing", 8192, HashStage::Prefix));
  testing::make_symlink(dir / "file", dir / "link");
  EXPECT_FALSE(hasher.hash(dir / "link", 8192, HashStage::Content));
  testing::make_dirs(dir / "folder");
  EXPECT_FALSE(hasher.hash(dir / "folder", 0, HashStage::Content));
  // A FIFO must neither block the open nor be read.
  ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
  EXPECT_FALSE(hasher.hash(dir / "fifo", 0, HashStage::Content));
}

TEST(HexDigest, IsLowerCaseAndSixtyFourDigits) {
  Digest digest{};
  digest[0] = 0xAB;
  digest[31] = 0x0F;
  EXPECT_EQ(to_hex(digest), "ab" + std::string(60, '0') + "0f");
}

}  // namespace
}  // namespace orvc::duplicates
