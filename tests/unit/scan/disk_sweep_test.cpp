#include "scan/disk_sweep.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include "unit/fixture_tree.hpp"

namespace orvc::scan {
namespace {

using namespace orvc::testing;

const SweepOptions kKeepEverything{.children_depth = std::nullopt, .same_device = true};

// "name size" of each listed child, in order; a folder's name ends in "/" and its listed
// children's count follows.
std::vector<std::string> children_of(const DiskNode& node) {
  std::vector<std::string> names;
  for (const auto& child : *node.children) {
    names.push_back(child.path.substr(child.path.rfind('/') + 1) + " " +
                    std::to_string(child.size));
    if (child.is_dir) names.back() += " [" + std::to_string(child.children.value().size()) + "]";
  }
  return names;
}

class DiskSweep : public ::testing::Test {
 protected:
  TempDir dir;
};

// Folders' own blocks are not counted, only what lies below them; a hard link counts at each
// name, a symbolic link as itself; skipped names are left out, and so is a file without blocks
// (where the file system allocates none on truncate).
TEST_F(DiskSweep, SumsAllocatedAndLogicalSizesLargestFirst) {
  for (const auto& [name, size] : {std::pair{"small", 100},
                                   {"sub/a", 50000},
                                   {"big", 200000},
                                   {".DS_Store", 5000},
                                   {".Trashes/x", 5000}})
    write_sized_file(dir / name, size);
  ASSERT_EQ(link((dir / "sub/a").c_str(), (dir / "sub/b").c_str()), 0);
  make_tree(dir.path(), {"to_root->/", "sparse"});
  ASSERT_EQ(truncate((dir / "sparse").c_str(), 5 << 20), 0);
  const auto root = disk_sweep(dir.path(), kKeepEverything);
  ASSERT_TRUE(root && root->is_dir);
  EXPECT_EQ(root->allocated, allocated_bytes(dir / "small") + 2 * allocated_bytes(dir / "sub/a") +
                                 allocated_bytes(dir / "big") + allocated_bytes(dir / "to_root") +
                                 allocated_bytes(dir / "sparse"));
  std::vector<std::string> listed = {"big 200000", "sub 100000 [2]", "small 100", "to_root 1"};
  const bool holes = allocated_bytes(dir / "sparse") == 0;
  if (!holes) listed.insert(listed.begin(), "sparse 5242880");
  EXPECT_EQ(children_of(*root), listed);
  EXPECT_EQ(root->size, 300101u + (holes ? 0 : 5 << 20));
  const auto file = disk_sweep(dir / "big", kKeepEverything);  // a regular file as the root
  ASSERT_TRUE(file);
  EXPECT_EQ(std::tuple(file->is_dir, file->children.has_value(), file->size),
            std::tuple(false, false, uint64_t{200000}));
}

// The tiny file is dropped from the list; folders stay whatever their size, without children.
TEST_F(DiskSweep, ChildrenDepthAndMinimumSizeTrimListsButNotSums) {
  for (const auto& [name, size] : {std::pair{"tiny", 10}, {"large", 4096}, {"sub/deep", 7}})
    write_sized_file(dir / name, size);
  make_dirs(dir / "empty");
  const auto root =
      disk_sweep(dir.path(), {.children_depth = 1, .min_child_size = 100, .same_device = true});
  ASSERT_TRUE(root);
  EXPECT_EQ(root->size, 4113u);
  EXPECT_EQ(children_of(*root),
            (std::vector<std::string>{"large 4096", "sub 7 [0]", "empty 0 [0]"}));
}

}  // namespace
}  // namespace orvc::scan
