#include "large_files/large_file_finder.hpp"

#include <gtest/gtest.h>

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
  ScopedEnv home_env{"HOME", home.path()};
  ScopedEnv data_env{"XDG_DATA_HOME", home / ".local/share"};
};

// The roots themselves: e2e/large_files_roots_test; here, the case of "Library" and odd homes.
TEST_F(FindLargeFiles, OnlyLibraryItselfIsNoRootAndAnUnlistableHomeIsItsOwn) {
  make_dirs(home / "Library");
  make_dirs(home / "library");
  EXPECT_EQ(large_file_roots().value(), std::vector<std::string>{home / "library"});
  const ScopedEnv missing("HOME", home / "missing");
  EXPECT_EQ(large_file_roots().value(), std::vector<std::string>{home / "missing"});
  const ScopedEnv no_home("HOME", std::nullopt);
  EXPECT_TRUE(large_file_search_roots(home.path()).has_value());
}

TEST_F(FindLargeFiles, SizeAndAgeMustBothHoldAndBothAreInclusive) {
  const int64_t now = std::time(nullptr);
  for (const auto& [name, size, mtime] : std::vector<std::tuple<std::string, uint64_t, int64_t>>{
           {"old", 1 << 20, now - 3 * 86400 - 60},
           {"old-below", (1 << 20) - 1, now - 3 * 86400 - 60},
           {"new", 1 << 20, now},
           {"future", 1 << 20, now + 3 * 86400}}) {
    write_sized_file(home / ("tree/" + name), size);
    set_mtime(home / ("tree/" + name), mtime);
  }
  const auto found = find_large_files_under({home / "tree"}, 1, 3);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found.at(0).path, home / "tree/old");
  EXPECT_EQ(found.at(0).age_days, 3u);
}

TEST_F(FindLargeFiles, ZeroThresholdListsEveryFileBiggestFirstKeepingTiesInOrder) {
  write_file(home / "tree/empty", "");
  write_file(home / "tree/a/two", "xx");
  write_file(home / "tree/b/two", "yy");
  write_file(home / "tree/three", "xyz");
  const std::atomic<bool> cancel_flag = false;
  std::vector<std::string> expected = {home / "tree/three"};
  for (const auto& file :
       scan::collect_files({home / "tree"}, {}, scan::GitDetection::Off, cancel_flag)) {
    if (file.size == 2) expected.push_back(file.path);  // equal sizes in the crawl's order
  }
  expected.push_back(home / "tree/empty");
  const auto found = find_large_files_under({home / "tree"}, 0, 0);
  std::vector<std::string> listed;
  for (const auto& file : found) listed.push_back(file.path);
  EXPECT_EQ(listed, expected);
}

}  // namespace
}  // namespace orvc::large_files
