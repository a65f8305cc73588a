#include "junk/disk_usage.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "junk/junk_item.hpp"
#include "junk/paths.hpp"
#include "unit/fixture_tree.hpp"

namespace orvc::junk {
namespace {

using namespace orvc::testing;

// Allocated blocks, not length: a 16 GiB sparse image holds 64 KiB.
TEST(DiskUsage, SumsAllocatedBlocksOfATreesFilesButNotFoldersOrLinks) {
  TempDir dir;
  const std::string tree = dir / "tree", sparse = tree + "/disk.img";
  write_sized_file(sparse, 65536);
  ASSERT_EQ(truncate(sparse.c_str(), off_t{1} << 34), 0);
  EXPECT_EQ(disk_usage(sparse), allocated_bytes(sparse));
  EXPECT_LT(disk_usage(sparse), uint64_t{1} << 20);
  uint64_t expected = allocated_bytes(sparse);
  for (int i = 0; i < 8; ++i) {
    const std::string file = tree + "/d" + std::to_string(i % 3) + "/e" + std::to_string(i);
    allocate_file(file, 5000 + i);
    expected += allocated_bytes(file);
  }
  allocate_file(dir / "outside/big", 8 << 20);
  make_tree(tree, {"top=x", "link-to-file->../outside/big", "d0/link-to-folder->../../outside",
                   "dangling->nowhere"});
  ASSERT_EQ(link((tree + "/top").c_str(), (tree + "/hard-link").c_str()), 0);
  expected += 2 * allocated_bytes(tree + "/top");  // a hard link counts at both names
  EXPECT_EQ(disk_usage(tree), expected);
  EXPECT_EQ(disk_usage(tree + "/link-to-file"), 0u);
  EXPECT_EQ(disk_usage(dir / "empty-parent/missing"), 0u);
}

TEST(DiskUsage, FoldersVanishingMidMeasureAreSkipped) {
  TempDir dir;
  const std::string tree = dir / "tree";
  for (int i = 0; i < 20; ++i) allocate_file(tree + "/stable/f" + std::to_string(i), 8192);
  const uint64_t stable = 20 * allocated_bytes(tree + "/stable/f0");
  std::atomic<bool> stop = false;
  std::thread churn([&] {
    for (int round = 0; !stop; ++round) {
      const std::string folder = tree + "/churn" + std::to_string(round % 4);
      for (int i = 0; i < 10; ++i) allocate_file(folder + "/d" + std::to_string(i) + "/f", 4096);
      std::filesystem::remove_all(folder);
    }
  });
  for (int i = 0; i < 50; ++i) EXPECT_GE(disk_usage(tree), stable);
  stop = true;
  churn.join();
}

TEST(MakeJunkItem, ExistenceFollowsLinksButTheMeasureDoesNot) {
  TempDir dir;
  allocate_file(dir / "real/cache/blob", 1 << 20);
  make_tree(dir.path(), {"linked-cache->real/cache", "dangling->nowhere"});
  const auto linked = make_junk_item(dir / "linked-cache", "text", Safety::Safe);
  ASSERT_TRUE(linked);
  EXPECT_EQ(std::tuple(linked->name, linked->size_bytes, linked->description, linked->safe),
            std::tuple("linked-cache", 0u, "text", true));
  EXPECT_EQ(make_junk_item(dir / "real/cache", "text", Safety::NeedsReview)->size_bytes,
            allocated_bytes(dir / "real/cache/blob"));
  EXPECT_FALSE(make_junk_item(dir / "dangling", "text", Safety::Safe));
  EXPECT_FALSE(make_junk_item(dir / "missing", "text", Safety::Safe));
}

TEST(Paths, SortByComponents) {
  EXPECT_LT(compare_components("/a/b", "/a-b"), 0);  // bytewise "/a/b" would sort after
  EXPECT_LT(compare_components("/a", "/a/b"), 0);
  EXPECT_TRUE(same_components("/x//y/", "/x/y"));
  EXPECT_EQ(parent_path("/a"), "/");
  EXPECT_EQ(child_path("", "Library"), "Library");  // an empty HOME stays relative
}

}  // namespace
}  // namespace orvc::junk
