#include <gtest/gtest.h>

#include "duplicates/file_hasher.hpp"
#include "duplicates/hash_and_group.hpp"
#include "support/temp_home.hpp"

namespace orvc::duplicates {
namespace {

// Files over 384 KiB whose samples agree are told apart by their whole bytes: a difference
// between the sampled windows splits them, both in a bucket compared side by side and in one
// too large to keep open at once, and a first member that has gone leaves the next to lead.
TEST(ContentStage, ADifferenceBetweenTheSampledWindowsSplitsTheGroup) {
  const testing::TempDir dir;
  const std::atomic<bool> cancel{false};
  constexpr uint64_t kSize = 1 << 20;
  for (const size_t count : {5, 20}) {
    SizeGroup bucket{kSize, {{0, dir / "gone", "gone", kSize, false, {}}}};
    std::vector<std::string> even, odd;
    for (size_t i = 0; i < count; ++i) {
      const std::string path = dir / (std::to_string(count) + "-" + std::to_string(i));
      std::string content(kSize, 'a');
      if (i % 2 == 1) content[200000] = 'b';
      testing::write_file(path, content);
      bucket.members.push_back({0, path, "", kSize, false, {}});
      (i % 2 ? odd : even).push_back(path);
    }
    const auto groups = hash_and_group({bucket}, cancel, 8);
    ASSERT_EQ(groups.size(), 2u) << count;
    for (const auto& [group, expected] : {std::pair{groups[0], even}, std::pair{groups[1], odd}}) {
      std::vector<std::string> paths{group.keep.path};
      for (const auto& copy : group.duplicates) paths.push_back(copy.path);
      EXPECT_EQ(paths, expected) << count;
      EXPECT_EQ(group.hash, to_hex(*FileHasher().hash(expected[0], kSize, HashStage::Content)));
    }
  }
}

}  // namespace
}  // namespace orvc::duplicates
