#include "large_files/large_file_finder.hpp"

#include <gtest/gtest.h>

#include <ctime>

#include "support/scoped_env.hpp"
#include "unit/fixture_tree.hpp"

namespace orvc::large_files {
namespace {

using namespace orvc::testing;

// Megabytes of 1048576 saturating from 2 to the 44th; whole days, and zero for future or
// unknown times.
TEST(ThresholdAndAge, Arithmetic) {
  EXPECT_EQ(threshold_bytes(0), 0u);
  EXPECT_EQ(threshold_bytes(100), 104857600u);
  EXPECT_EQ(threshold_bytes((uint64_t{1} << 44) - 1), UINT64_MAX - 1048575);
  EXPECT_EQ(threshold_bytes(uint64_t{1} << 44), UINT64_MAX);
  EXPECT_EQ(threshold_bytes(UINT64_MAX), UINT64_MAX);
  const int64_t now = 1'700'000'000;
  const std::pair<std::optional<int64_t>, uint64_t> ages[] = {
      {now - 86399, 0}, {now - 86400, 1}, {now - 10 * 86400 - 5, 10}, {now + 1, 0}, {{}, 0}};
  for (const auto& [modified, days] : ages)
    EXPECT_EQ(age_in_days(modified, now), days) << modified.value_or(-1);
}

class FindLargeFiles : public ::testing::Test {
 protected:
  TempDir home;
  ScopedEnv home_env{"HOME", home.path()};
  ScopedEnv data_env{"XDG_DATA_HOME", home / ".local/share"};
};

// The roots themselves: e2e/large_files_test; here, the case of "Library" and odd homes.
TEST_F(FindLargeFiles, OnlyLibraryItselfIsNoRootAndAnUnlistableHomeIsItsOwn) {
  make_tree(home.path(), {"Library/", "library/"});
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
  std::vector<std::pair<std::string, uint64_t>> found;
  for (const auto& file : find_large_files_under({home / "tree"}, 1, 3))
    found.emplace_back(file.path, file.age_days);
  EXPECT_EQ(found, (decltype(found){{home / "tree/old", 3}}));
}

// Equal sizes in the crawl's order, which is the listing order.
TEST_F(FindLargeFiles, ZeroThresholdListsEveryFileBiggestFirstKeepingTiesInOrder) {
  make_tree(home / "tree", {"empty", "a/two=xx", "b/two=yy", "three=xyz"});
  std::vector<std::string> expected = {home / "tree/three"}, listed;
  for (const std::string& name : listing_order(home / "tree"))
    if (name.size() == 1) expected.push_back(home / ("tree/" + name + "/two"));
  expected.push_back(home / "tree/empty");
  for (const auto& file : find_large_files_under({home / "tree"}, 0, 0))
    listed.push_back(file.path);
  EXPECT_EQ(listed, expected);
}

}  // namespace
}  // namespace orvc::large_files
