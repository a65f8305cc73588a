#include "duplicates/file_hasher.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "support/temp_home.hpp"

namespace orvc::duplicates {
namespace {

using testing::TempDir;

class FileHasherTest : public ::testing::Test {
 protected:
  TempDir dir;
  FileHasher hasher;
};

TEST_F(FileHasherTest, AWholeFileSampleYieldsTheContentDigestFromTheSameRead) {
  testing::write_sized_file(dir / "whole", 393216, 7);
  const auto sample = hasher.hash_stage(dir / "whole", 393216, HashStage::Sample);
  ASSERT_TRUE(sample);
  EXPECT_EQ(sample->content, hasher.hash(dir / "whole", 393216, HashStage::Content));
  testing::write_sized_file(dir / "large", 393217, 7);
  EXPECT_FALSE(hasher.hash_stage(dir / "large", 393217, HashStage::Sample)->content);
}

TEST_F(FileHasherTest, SharesContentDigestsOnlyBetweenEqualSamples) {
  testing::write_sized_file(dir / "a", 10000, 7);
  const std::string twin = testing::read_file(dir / "a");
  testing::write_file(dir / "b", twin);
  std::string other = twin;
  other.back() ^= 1;
  testing::write_file(dir / "c", other);
  KnownContent known;
  const auto a = hasher.hash_stage(dir / "a", 10000, HashStage::Sample, &known);
  const auto b = hasher.hash_stage(dir / "b", 10000, HashStage::Sample, &known);
  const auto c = hasher.hash_stage(dir / "c", 10000, HashStage::Sample, &known);
  ASSERT_TRUE(a && b && c);
  EXPECT_EQ(b->content, a->content);
  EXPECT_EQ(known.find(10000, a->digest), a->content);
  EXPECT_NE(c->content, a->content);
  EXPECT_EQ(c->content, hasher.hash(dir / "c", 10000, HashStage::Content));
  EXPECT_EQ(known.find(9999, a->digest), std::nullopt);
}

TEST_F(FileHasherTest, YieldsNothingForWhatIsNoLongerTheExpectedRegularFile) {
  testing::write_sized_file(dir / "file", 8192);
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

}  // namespace
}  // namespace orvc::duplicates
