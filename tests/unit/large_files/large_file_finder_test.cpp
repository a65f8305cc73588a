#include "large_files/large_file_finder.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>

#include "scan/collector.hpp"
#include "support/scoped_env.hpp"
#include "support/temp_home.hpp"

namespace orvc::large_files {
namespace {

using namespace orvc::testing;

TEST(ThresholdBytes, MegabytesOf1048576SaturatingFrom2To44) {
  EXPECT_EQ(threshold_bytes(0), 0u);
  EXPECT_EQ(threshold_bytes(100), 104857600u);
  EXPECT_EQ(threshold_bytes((uint64_t{1} << 44) - 1), UINT64_MAX - 1048575);
  EXPECT_EQ(threshold_bytes(uint64_t{1} << 44), UINT64_MAX);
  EXPECT_EQ(threshold_bytes(UINT64_MAX), UINT64_MAX);
}

TEST(AgeInDays, WholeDaysAndZeroForFutureOrUnknownTimes) {
  const int64_t now = 1'700'000'000;
  EXPECT_EQ(age_in_days(now - 86399, now), 0u);
  EXPECT_EQ(age_in_days(now - 86400, now), 1u);
  EXPECT_EQ(age_in_days(now - 10 * 86400 - 5, now), 10u);
  EXPECT_EQ(age_in_days(now + 1, now), 0u);
  EXPECT_EQ(age_in_days(std::nullopt, now), 0u);
}

class FindLargeFiles : public ::testing::Test {
 protected:
  TempDir home;
  testing::ScopedEnv home_env{"HOME", home.path()};
  testing::ScopedEnv data_env{"XDG_DATA_HOME", home / ".local/share"};
};

TEST_F(FindLargeFiles, DefaultRootsAreTheHomeEntriesExceptLibrary) {
  make_dirs(home / "Library");
  make_dirs(home / "library");
  write_file(home / "loose.bin", "x");
  auto roots = large_file_roots();
  ASSERT_TRUE(roots);
  std::ranges::sort(*roots);
  EXPECT_EQ(*roots, (std::vector<std::string>{home / "library", home / "loose.bin"}));
}

TEST_F(FindLargeFiles, UnlistableHomeIsItsOwnRootAndAGivenPathNeedsNoHome) {
  {
    const testing::ScopedEnv missing("HOME", home / "missing");
    EXPECT_EQ(large_file_roots().value(), std::vector<std::string>{home / "missing"});
  }
  const testing::ScopedEnv no_home("HOME", std::nullopt);
  EXPECT_TRUE(find_large_files(home.path(), 100, 0).has_value());
}

TEST_F(FindLargeFiles, TheThresholdIsInclusive) {
  testing::write_sized_file(home / "tree/exact", 1 << 20);
  testing::write_sized_file(home / "tree/below", (1 << 20) - 1);
  const auto found = find_large_files(home / "tree", 1, 0);
  ASSERT_TRUE(found);
  ASSERT_EQ(found->size(), 1u);
  EXPECT_EQ(found->at(0).path, home / "tree/exact");
}

TEST_F(FindLargeFiles, ZeroThresholdListsEveryFileBiggestFirstKeepingTiesInOrder) {
  write_file(home / "tree/empty", "");
  write_file(home / "tree/a/two", "xx");
  write_file(home / "tree/b/two", "yy");
  write_file(home / "tree/three", "xyz");
  auto found = find_large_files(home / "tree", 0, 0);
  ASSERT_TRUE(found);
  ASSERT_EQ(found->size(), 4u);
  EXPECT_EQ(found->at(0).path, home / "tree/three");
  EXPECT_EQ(found->at(3).path, home / "tree/empty");
  // The two equal sizes keep the collector's order.
  const std::atomic<bool> cancel_flag = false;
  std::vector<std::string> collected_twos;
  for (const auto& file :
       scan::collect_files({home / "tree"}, {}, scan::GitDetection::Off, cancel_flag)) {
    if (file.size == 2) collected_twos.push_back(file.path);
  }
  EXPECT_EQ(collected_twos, (std::vector<std::string>{found->at(1).path, found->at(2).path}));
}

TEST_F(FindLargeFiles, AgeAndSizeMustBothHold) {
  write_file(home / "tree/old_big", std::string(2048, 'x'));
  write_file(home / "tree/new_big", std::string(2048, 'x'));
  write_file(home / "tree/future", std::string(2048, 'x'));
  const int64_t now = std::time(nullptr);
  testing::set_mtime(home / "tree/old_big", now - 3 * 86400 - 60);
  testing::set_mtime(home / "tree/future", now + 3 * 86400);
  auto found = find_large_files(home / "tree", 0, 3);
  ASSERT_TRUE(found);
  ASSERT_EQ(found->size(), 1u);
  EXPECT_EQ(found->at(0).path, home / "tree/old_big");
  EXPECT_EQ(found->at(0).age_days, 3u);
  EXPECT_TRUE(find_large_files(home / "tree", 1, 0)->empty());
}

}  // namespace
}  // namespace orvc::large_files
