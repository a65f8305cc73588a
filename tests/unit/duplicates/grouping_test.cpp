// How identical files become groups: by size first, one name per file, then the kept copy.
#include <gtest/gtest.h>

#include <cstdint>

#include "duplicates/duplicate_group.hpp"
#include "duplicates/size_grouping.hpp"

namespace orvc::duplicates {
namespace {

DuplicateCandidate seen(std::string path, uint64_t size, scan::CrawledIdentity identity = {}) {
  return {0, std::move(path), "", size, false, identity};
}

// "size: path path …" of each group.
std::vector<std::string> described(const SizeGroups& groups) {
  std::vector<std::string> out;
  for (const auto& group : groups) {
    out.push_back(std::to_string(group.size) + ":");
    for (const auto& member : group.members) out.back() += " " + member.path;
  }
  return out;
}

TEST(GroupBySize, KeepsSharedSizesOfAtLeast4096InFirstSeenOrder) {
  const auto groups =
      group_by_size({seen("a", 5000), seen("tiny1", 4095), seen("b", 4096), seen("tiny2", 4095),
                     seen("c", 5000), seen("lone", 7000), seen("d", 4096), seen("e", 5000)});
  EXPECT_EQ(described(groups), (std::vector<std::string>{"5000: a c e", "4096: b d"}));
  EXPECT_EQ(count_members(groups), 5u);
}

// One (device, inode) is one file, whatever its link count says: a folder mounted twice shows
// each of its files under two names with one link each.
TEST(RemoveHardLinkAliases, OneNamePerFileWhateverTheLinkCount) {
  SizeGroups groups = {
      {8192,
       {seen("/t/real/a", 8192, {1, 10, 1}), seen("/t/view/a", 8192, {1, 10, 1}),
        seen("/t/real/b", 8192, {1, 11, 3}), seen("/t/unknown", 8192),
        seen("/t/link-of-b", 8192, {1, 11, 3}), seen("/t/other-device/a", 8192, {2, 10, 1}),
        seen("/t/unknown-too", 8192)}},
      {9000, {seen("/t/c", 9000, {1, 12, 2}), seen("/t/link-of-c", 9000, {1, 12, 2})}},
  };
  EXPECT_EQ(remove_hard_link_aliases(groups), 3u);
  // The 9000-byte pair was one file; the same inode on another device is another file; members
  // without an identity stay.
  EXPECT_EQ(described(groups), std::vector<std::string>{"8192: /t/real/a /t/real/b /t/unknown "
                                                        "/t/other-device/a /t/unknown-too"});
}

// Copies named "a", "b", ... with the given modification times.
std::vector<DuplicateCandidate> copies(std::vector<std::optional<int64_t>> times) {
  std::vector<DuplicateCandidate> made;
  for (const auto time : times)
    made.push_back({time, {static_cast<char>('a' + made.size())}, "", 100, false, {}});
  return made;
}

// The oldest copy kept and the others in order: e2e/duplicates_test.
TEST(BuildGroup, TiesGoToTheFirstListedAMissingTimeCountsAsNewestAndBytesSaturate) {
  const std::optional<int64_t> none, latest = INT64_MAX;
  const std::pair<std::vector<std::optional<int64_t>>, const char*> cases[] = {
      {{5, 5}, "a"}, {{none, 5}, "b"}, {{none, none}, "a"}, {{none, latest}, "a"}};
  for (const auto& [times, kept] : cases)
    EXPECT_EQ(build_group("h", 1, copies(times)).keep.path, kept);
  EXPECT_EQ(build_group("h", UINT64_MAX / 2 + 1, copies({1, 1, 1})).reclaimable_bytes, UINT64_MAX);
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
