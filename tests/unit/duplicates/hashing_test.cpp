#include <gtest/gtest.h>
#include <sys/stat.h>

#include <map>

#include "duplicates/file_hasher.hpp"
#include "duplicates/hash_and_group.hpp"
#include "duplicates/hashing_pool.hpp"
#include "support/temp_home.hpp"

namespace orvc::duplicates {
namespace {

using namespace orvc::testing;

TEST(FileHasher, YieldsNothingForWhatIsNoLongerTheExpectedRegularFile) {
  const TempDir dir;
  FileHasher hasher;
  write_sized_file(dir / "file", 8192);
  EXPECT_TRUE(hasher.hash(dir / "file", 8192, HashStage::Prefix));
  EXPECT_FALSE(hasher.hash(dir / "file", 8193, HashStage::Prefix));  // shrank or grew
  EXPECT_FALSE(hasher.hash(dir / "missing", 8192, HashStage::Prefix));
  make_symlink(dir / "file", dir / "link");
  EXPECT_FALSE(hasher.hash(dir / "link", 8192, HashStage::Content));
  make_dirs(dir / "folder");
  EXPECT_FALSE(hasher.hash(dir / "folder", 0, HashStage::Content));
  // A FIFO must neither block the open nor be read.
  ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
  EXPECT_FALSE(hasher.hash(dir / "fifo", 0, HashStage::Content));
  // A sample that reads the whole file is its content digest, and only then.
  for (const uint64_t size : {kWholeSampleLimit, kWholeSampleLimit + 1}) {
    write_sized_file(dir / "sampled", size, 7);
    EXPECT_EQ(hasher.hash(dir / "sampled", size, HashStage::Sample) ==
                  hasher.hash(dir / "sampled", size, HashStage::Content),
              size == kWholeSampleLimit);
  }
}

class HashAndGroupTest : public ::testing::Test {
 protected:
  // A file of patterned bytes, the last one replaced when `last` is given.
  DuplicateCandidate file(const std::string& name, uint64_t size, std::optional<char> last = {}) {
    write_sized_file(dir / name, size);
    std::string content = read_file(dir / name);
    if (last) content.back() = *last;
    write_file(dir / name, content);
    return {0, dir / name, name, size, false, {}};
  }
  // "kept copy… reclaimable" of each group found.
  std::vector<std::string> run(SizeGroups groups) {
    std::vector<std::string> found;
    for (const auto& group : hash_and_group(groups, cancel_flag, 8)) {
      found.push_back(group.keep.name);
      for (const auto& copy : group.duplicates) found.back() += " " + copy.name;
      found.back() += " " + std::to_string(group.reclaimable_bytes);
    }
    return found;
  }

  TempDir dir;
  std::atomic<bool> cancel_flag{false};
};

// Each size takes a different path through the stages: decided by the prefix alone, by a sample
// that reads the whole file, or by a sample of windows followed by the whole content.
TEST_F(HashAndGroupTest, OnlyByteIdenticalFilesGroupWhateverTheSize) {
  for (const uint64_t size :
       {uint64_t{4096}, uint64_t{100000}, uint64_t{393216}, uint64_t{393217}, uint64_t{1 << 20}}) {
    EXPECT_EQ(run({{size,
                    {file("a", size), file("b", size), file("x", size, '\x01'),
                     file("y", size, '\x02'), file("c", size)}}}),
              std::vector<std::string>{"a b c " + std::to_string(2 * size)});
  }
}

// Equal waste keeps discovery order; a member gone, shrunk ("c") or grown ("d") after the crawl
// drops out silently.
TEST_F(HashAndGroupTest, GroupsBySizeAndContentLargestWasteFirst) {
  const DuplicateCandidate gone{0, dir / "gone", "gone", 10000, false, {}};
  const SizeGroups groups = {
      {8192,
       {file("s1", 8192), file("s2", 8192), file("s3", 8192, '\x05'), file("s4", 8192, '\x05')}},
      {10000, {file("a", 10000), gone, file("b", 10000), file("c", 10000)}},
      {20000, {file("e", 20000), file("d", 20000)}},
      {50000, {file("m1", 50000), file("m2", 50000)}},
  };
  write_file(dir / "c", std::string(9000, 'x'));
  write_file(dir / "d", std::string(24000, 'x'));
  EXPECT_EQ(run(groups),
            (std::vector<std::string>{"m1 m2 50000", "a b 10000", "s1 s2 8192", "s3 s4 8192"}));
}

TEST(HashFiles, ResultsFollowJobOrderWhateverThePermits) {
  TempDir dir;
  std::vector<std::string> paths;
  for (int i = 0; i < 20; ++i)
    write_sized_file(paths.emplace_back(dir / std::to_string(i)), 4096, i % 3);
  std::vector<HashJob> jobs;
  for (const auto& p : paths) jobs.push_back({&p, 4096});
  const std::atomic<bool> cancel{false};
  const auto one = hash_files(jobs, HashStage::Prefix, 1, cancel);
  EXPECT_EQ(one, hash_files(jobs, HashStage::Prefix, 64, cancel));
  EXPECT_EQ(one[0], one[3]);
  EXPECT_NE(one[0], one[1]);
}

// Files over 384 KiB whose prefixes and samples agree are told apart by their whole bytes (here
// one byte between the sampled windows): in a bucket compared side by side, in one too large to
// keep open at once, when the first member has gone, and when the first is like no other.
TEST(ContentStage, ADifferenceBetweenTheSampledWindowsSplitsTheGroup) {
  const TempDir dir;
  const std::atomic<bool> cancel{false};
  constexpr uint64_t kSize = 1 << 20;
  const std::string alternating = "abababababababababab";
  for (const auto& [pattern, letters] :
       {std::pair<std::string, std::string>{"ababa", "ab"}, {alternating, "ab"}, {"baac", "a"}}) {
    SizeGroup bucket{kSize, {{0, dir / "gone", "gone", kSize, false, {}}}};
    std::map<char, std::vector<std::string>> by_letter;
    for (size_t i = 0; i < pattern.size(); ++i) {
      const std::string path = dir / (pattern + std::to_string(i));
      std::string content(kSize, 'a');
      content[200000] = pattern[i];
      write_file(path, content);
      bucket.members.push_back({0, path, "", kSize, false, {}});
      by_letter[pattern[i]].push_back(path);
    }
    const auto groups = hash_and_group({bucket}, cancel, 8);
    ASSERT_EQ(groups.size(), letters.size()) << pattern;
    for (size_t g = 0; g < groups.size(); ++g) {
      const auto& expected = by_letter[letters[g]];
      std::vector<std::string> paths{groups[g].keep.path};
      for (const auto& copy : groups[g].duplicates) paths.push_back(copy.path);
      EXPECT_EQ(paths, expected) << pattern;
      EXPECT_EQ(groups[g].hash, to_hex(*FileHasher().hash(expected[0], kSize, HashStage::Content)));
    }
  }
}

}  // namespace
}  // namespace orvc::duplicates
