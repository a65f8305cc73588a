// One (device, inode) is one file, whatever its link count says: a folder mounted twice shows
// each of its files under two names with one link each.
#include <gtest/gtest.h>

#include "duplicates/size_grouping.hpp"

namespace orvc::duplicates {
namespace {

DuplicateCandidate seen(std::string path, scan::CrawledIdentity identity) {
  return {0, std::move(path), "", 8192, false, identity};
}

TEST(SameIdentity, OneNamePerFileWhateverTheLinkCount) {
  SizeGroups groups = {
      {8192,
       {seen("/t/real/a", {1, 10, 1}), seen("/t/view/a", {1, 10, 1}), seen("/t/real/b", {1, 11, 1}),
        seen("/t/view/b", {1, 11, 1}), seen("/t/other-device/a", {2, 10, 1}),
        seen("/t/unknown", {}), seen("/t/unknown-too", {})}}};
  EXPECT_EQ(remove_hard_link_aliases(groups), 2u);
  ASSERT_EQ(groups.size(), 1u);
  std::vector<std::string> kept;
  for (const auto& member : groups[0].members) kept.push_back(member.path);
  // The same inode on another device is another file; members without an identity stay.
  EXPECT_EQ(kept, (std::vector<std::string>{"/t/real/a", "/t/real/b", "/t/other-device/a",
                                            "/t/unknown", "/t/unknown-too"}));
}

TEST(SameIdentity, AFileSeenTwiceAloneIsNoGroup) {
  SizeGroups groups = {{8192, {seen("/t/real/a", {1, 10, 1}), seen("/t/view/a", {1, 10, 1})}}};
  EXPECT_EQ(remove_hard_link_aliases(groups), 1u);
  EXPECT_TRUE(groups.empty());
}

}  // namespace
}  // namespace orvc::duplicates
