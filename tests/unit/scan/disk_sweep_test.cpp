#include "scan/disk_sweep.hpp"

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include "support/temp_home.hpp"

namespace orvc::scan {
namespace {

using orvc::testing::TempDir;

const SweepOptions kKeepEverything{
    .children_depth = std::nullopt, .min_child_size = 0, .same_device = true};

std::vector<std::string> names_of(const DiskNode& node) {
  std::vector<std::string> names;
  for (const auto& child : *node.children)
    names.push_back(child.path.substr(child.path.rfind('/') + 1));
  return names;
}

class DiskSweep : public ::testing::Test {
 protected:
  TempDir dir;
};

TEST_F(DiskSweep, SumsAllocatedAndLogicalSizesAndSortsLargestFirst) {
  testing::write_sized_file(dir / "small", 100);
  testing::write_sized_file(dir / "sub/a", 50000);
  testing::write_sized_file(dir / "big", 200000);
  auto root = disk_sweep(dir.path(), kKeepEverything);
  ASSERT_TRUE(root);
  EXPECT_TRUE(root->is_dir);
  EXPECT_EQ(root->size, 250100u);
  // Folders' own blocks are not counted, only what lies below them.
  EXPECT_EQ(root->allocated, testing::allocated_bytes(dir / "small") +
                                 testing::allocated_bytes(dir / "sub/a") +
                                 testing::allocated_bytes(dir / "big"));
  EXPECT_EQ(names_of(*root), (std::vector<std::string>{"big", "sub", "small"}));
  EXPECT_EQ((*root->children)[1].size, 50000u);
}

TEST_F(DiskSweep, ChildrenDepthAndMinimumSizeTrimListsButNotSums) {
  testing::write_sized_file(dir / "tiny", 10);
  testing::write_sized_file(dir / "large", 4096);
  testing::write_sized_file(dir / "sub/deep", 7);
  testing::make_dirs(dir / "empty");
  const SweepOptions options{.children_depth = 1, .min_child_size = 100, .same_device = true};
  auto root = disk_sweep(dir.path(), options);
  ASSERT_TRUE(root);
  EXPECT_EQ(root->size, 4113u);
  // The tiny file is dropped from the list; folders stay whatever their size.
  EXPECT_EQ(names_of(*root).size(), 3u);
  for (const auto& child : *root->children) {
    EXPECT_NE(child.path, dir / "tiny");
    if (child.is_dir) {
      ASSERT_TRUE(child.children);
      EXPECT_TRUE(child.children->empty());
    }
  }
}

TEST_F(DiskSweep, HardLinksCountOncePerLinkAndLinksAreNotFollowed) {
  testing::write_sized_file(dir / "a", 8192);
  ASSERT_EQ(link((dir / "a").c_str(), (dir / "b").c_str()), 0);
  testing::make_symlink("/", dir / "to_root");
  auto root = disk_sweep(dir.path(), kKeepEverything);
  ASSERT_TRUE(root);
  EXPECT_EQ(root->size, 8192u * 2 + 1);
}

TEST_F(DiskSweep, RegularFileRoot) {
  testing::write_sized_file(dir / "f", 1234);
  auto file = disk_sweep(dir / "f", kKeepEverything);
  ASSERT_TRUE(file);
  EXPECT_FALSE(file->is_dir);
  EXPECT_FALSE(file->children);
  EXPECT_EQ(file->size, 1234u);
}

TEST_F(DiskSweep, SkipTablesAndSparseFilesAreLeftOut) {
  testing::write_sized_file(dir / ".DS_Store", 5000);
  testing::write_sized_file(dir / ".Trashes/x", 5000);
  testing::write_sized_file(dir / "kept", 5000);
  {
    const std::string sparse = dir / "sparse";
    testing::write_file(sparse, "");
    ASSERT_EQ(truncate(sparse.c_str(), 5 << 20), 0);
  }
  auto root = disk_sweep(dir.path(), kKeepEverything);
  ASSERT_TRUE(root);
  if (testing::allocated_bytes(dir / "sparse") == 0) {
    EXPECT_EQ(root->size, 5000u);
    EXPECT_EQ(names_of(*root), (std::vector<std::string>{"kept"}));
  } else {
    EXPECT_EQ(root->size, 5000u + (5 << 20));
  }
}

TEST_F(DiskSweep, OtherFileSystemsAreNotEntered) {
  testing::make_dirs(dir / "mnt");
  testing::write_sized_file(dir / "local", 3000);
  if (geteuid() != 0 || mount("tmpfs", (dir / "mnt").c_str(), "tmpfs", 0, "size=4m") != 0) {
    GTEST_SKIP() << "cannot mount a tmpfs here (needs root in a namespace that allows it)";
  }
  testing::write_sized_file(dir / "mnt/remote", 100000);
  auto root = disk_sweep(dir.path(), kKeepEverything);
  umount((dir / "mnt").c_str());
  ASSERT_TRUE(root);
  EXPECT_EQ(root->size, 3000u);
  EXPECT_EQ(names_of(*root), (std::vector<std::string>{"local"}));
}

}  // namespace
}  // namespace orvc::scan
