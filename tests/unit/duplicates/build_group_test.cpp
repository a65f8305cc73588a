#include <gtest/gtest.h>

#include <limits>

#include "duplicates/duplicate_group.hpp"

namespace orvc::duplicates {
namespace {

DuplicateCandidate copy(std::string path, std::optional<int64_t> modified) {
  return {modified, std::move(path), "", 100, false, {}};
}

std::vector<std::string> paths_of(const std::vector<DuplicateCandidate>& copies) {
  std::vector<std::string> paths;
  for (const auto& c : copies) paths.push_back(c.path);
  return paths;
}

TEST(BuildGroup, KeepsTheOldestCopyAndTheOthersInOrder) {
  const auto group = build_group("h", 100, {copy("a", 30), copy("b", 10), copy("c", 20)});
  EXPECT_EQ(group.keep.path, "b");
  EXPECT_EQ(paths_of(group.duplicates), (std::vector<std::string>{"a", "c"}));
  EXPECT_EQ(group.hash, "h");
  EXPECT_EQ(group.size, 100u);
  EXPECT_EQ(group.reclaimable_bytes, 200u);
}

TEST(BuildGroup, TiesGoToTheFirstListedAndAMissingTimeCountsAsNewest) {
  EXPECT_EQ(build_group("h", 1, {copy("a", 5), copy("b", 5)}).keep.path, "a");
  EXPECT_EQ(build_group("h", 1, {copy("a", std::nullopt), copy("b", 5)}).keep.path, "b");
  EXPECT_EQ(build_group("h", 1, {copy("a", std::nullopt), copy("b", std::nullopt)}).keep.path, "a");
  const int64_t latest = std::numeric_limits<int64_t>::max();
  EXPECT_EQ(build_group("h", 1, {copy("a", std::nullopt), copy("b", latest)}).keep.path, "a");
}

TEST(BuildGroup, ReclaimableBytesSaturate) {
  const uint64_t huge = std::numeric_limits<uint64_t>::max() / 2 + 1;
  EXPECT_EQ(build_group("h", huge, {copy("a", 1), copy("b", 1), copy("c", 1)}).reclaimable_bytes,
            std::numeric_limits<uint64_t>::max());
}

TEST(SortByReclaimable, LargestFirstAndStable) {
  std::vector<DuplicateGroup> groups(4);
  const uint64_t bytes[] = {10, 30, 10, 30};
  for (size_t i = 0; i < groups.size(); ++i) {
    groups[i].reclaimable_bytes = bytes[i];
    groups[i].hash = std::to_string(i);
  }
  sort_by_reclaimable(groups);
  std::vector<std::string> order;
  for (const auto& g : groups) order.push_back(g.hash);
  EXPECT_EQ(order, (std::vector<std::string>{"1", "3", "0", "2"}));
}

TEST(FileNameOf, TakesTheLastNormalComponent) {
  const std::pair<std::string, std::string> cases[] = {
      {"/home/u/photo.jpg", "photo.jpg"}, {"/home/u/dir/", "dir"}, {"/home/u/dir/.", "dir"},
      {"relative", "relative"},           {"/home/..", ""},        {"/", ""},
      {"a/bad\xff", "bad\xEF\xBF\xBD"}};
  for (const auto& [path, name] : cases) EXPECT_EQ(file_name_of(path), name) << path;
}

}  // namespace
}  // namespace orvc::duplicates
