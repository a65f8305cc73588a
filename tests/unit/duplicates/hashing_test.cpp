#include <gtest/gtest.h>
#include <sys/stat.h>

#include "duplicates/file_hasher.hpp"
#include "duplicates/hash_and_group.hpp"
#include "duplicates/hashing_pool.hpp"
#include "support/temp_home.hpp"

namespace orvc::duplicates {
namespace {

using testing::TempDir;

TEST(FileHasher, YieldsNothingForWhatIsNoLongerTheExpectedRegularFile) {
  const TempDir dir;
  FileHasher hasher;
  testing::write_sized_file(dir / "file", 8192);
  EXPECT_TRUE(hasher.hash(dir / "file", 8192, HashStage::Prefix));
  EXPECT_FALSE(hasher.hash(dir / "file", 8193, HashStage::Prefix));  // shrank or grew
  EXPECT_FALSE(hasher.hash(dir / "missing", 8192, HashStage::Prefix));
  testing::make_symlink(dir / "file", dir / "link");
  EXPECT_FALSE(hasher.hash(dir / "link", 8192, HashStage::Content));
  testing::make_dirs(dir / "folder");
  EXPECT_FALSE(hasher.hash(dir / "folder", 0, HashStage::Content));
  // A FIFO must neither block the open nor be read.
  ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
  EXPECT_FALSE(hasher.hash(dir / "fifo", 0, HashStage::Content));
  // A sample that reads the whole file brings its content digest along.
  testing::write_sized_file(dir / "whole", kWholeSampleLimit, 7);
  EXPECT_EQ(hasher.hash_stage(dir / "whole", kWholeSampleLimit, HashStage::Sample)->content,
            hasher.hash(dir / "whole", kWholeSampleLimit, HashStage::Content));
  testing::write_sized_file(dir / "large", kWholeSampleLimit + 1, 7);
  EXPECT_FALSE(hasher.hash_stage(dir / "large", kWholeSampleLimit + 1, HashStage::Sample)->content);
}

class HashAndGroupTest : public ::testing::Test {
 protected:
  // A file of patterned bytes, optionally with another last byte.
  DuplicateCandidate file(const std::string& name, uint64_t size, unsigned seed = 0,
                          std::optional<char> last_byte = std::nullopt) {
    testing::write_sized_file(dir / name, size, seed);
    if (last_byte) {
      std::string content = testing::read_file(dir / name);
      content.back() = *last_byte;
      testing::write_file(dir / name, content);
    }
    return {0, dir / name, name, size, false, {}};
  }
  std::vector<DuplicateGroup> run(SizeGroups groups) {
    return hash_and_group(groups, cancel_flag, 8);
  }

  TempDir dir;
  std::atomic<bool> cancel_flag{false};
};

// Each size takes a different path through the stages: decided by the prefix alone, by a sample
// that reads the whole file, or by a sample of windows followed by the whole content.
TEST_F(HashAndGroupTest, OnlyByteIdenticalFilesGroupWhateverTheSize) {
  for (const uint64_t size :
       {uint64_t{4096}, uint64_t{100000}, uint64_t{393216}, uint64_t{393217}, uint64_t{1 << 20}}) {
    const auto groups = run({{size,
                              {file("a", size), file("b", size), file("x", size, 0, '\x01'),
                               file("y", size, 0, '\x02'), file("c", size)}}});
    ASSERT_EQ(groups.size(), 1u) << size;
    EXPECT_EQ(groups[0].keep.path, dir / "a");
    ASSERT_EQ(groups[0].duplicates.size(), 2u);
    EXPECT_EQ(groups[0].duplicates[0].path, dir / "b");
    EXPECT_EQ(groups[0].duplicates[1].path, dir / "c");
    EXPECT_EQ(groups[0].reclaimable_bytes, 2u * size);
  }
}

TEST_F(HashAndGroupTest, GroupsBySizeAndContentLargestWasteFirst) {
  const auto groups = run({
      {8192, {file("s1", 8192), file("s2", 8192), file("s3", 8192, 5), file("s4", 8192, 5)}},
      {50000, {file("m1", 50000), file("m2", 50000)}},
  });
  ASSERT_EQ(groups.size(), 3u);
  EXPECT_EQ(groups[0].keep.path, dir / "m1");
  EXPECT_EQ(groups[1].keep.path, dir / "s1");  // equal waste keeps discovery order
  EXPECT_EQ(groups[2].keep.path, dir / "s3");
}

TEST_F(HashAndGroupTest, UnreadableOrChangedMembersDropOutSilently) {
  auto a = file("a", 10000), b = file("b", 10000), c = file("c", 10000), gone = a;
  gone.path = dir / "gone";
  testing::write_file(dir / "c", std::string(9000, 'x'));  // shrank after the crawl
  const auto groups = run({{10000, {a, gone, b, c}}});
  ASSERT_EQ(groups.size(), 1u);
  EXPECT_EQ(groups[0].keep.path, a.path);
  ASSERT_EQ(groups[0].duplicates.size(), 1u);
  EXPECT_EQ(groups[0].duplicates[0].path, b.path);
  auto d = file("d", 10000);
  testing::write_file(dir / "d", std::string(12000, 'x'));
  EXPECT_TRUE(run({{10000, {file("e", 10000), d}}}).empty());
}

TEST(HashFiles, ResultsFollowJobOrderWhateverThePermits) {
  TempDir dir;
  std::vector<std::string> paths;
  for (int i = 0; i < 20; ++i) {
    paths.push_back(dir / std::to_string(i));
    testing::write_sized_file(paths.back(), 4096, i % 3);
  }
  std::vector<HashJob> jobs;
  for (const auto& p : paths) jobs.push_back({&p, 4096});
  const std::atomic<bool> cancel{false};
  const auto one = hash_files(jobs, HashStage::Prefix, 1, cancel);
  EXPECT_EQ(one, hash_files(jobs, HashStage::Prefix, 64, cancel));
  EXPECT_EQ(one[0], one[3]);
  EXPECT_NE(one[0], one[1]);
}

}  // namespace
}  // namespace orvc::duplicates
