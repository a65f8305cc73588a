#include "duplicates/size_grouping.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/temp_home.hpp"

namespace orvc::duplicates {
namespace {

DuplicateCandidate sized(std::string path, uint64_t size) {
  return {0, std::move(path), "", size, false, {}};
}

// A candidate as the crawl records it: with the file's identity, when it exists.
DuplicateCandidate on_disk(const std::string& path, uint64_t size) {
  DuplicateCandidate candidate = sized(path, size);
  struct stat metadata {};
  if (lstat(path.c_str(), &metadata) == 0) {
    candidate.identity = {metadata.st_dev, metadata.st_ino, metadata.st_nlink};
  }
  return candidate;
}

std::vector<std::string> paths_of(const SizeGroup& group) {
  std::vector<std::string> paths;
  for (const auto& m : group.members) paths.push_back(m.path);
  return paths;
}

TEST(GroupBySize, KeepsSharedSizesOfAtLeast4096InFirstSeenOrder) {
  const auto groups =
      group_by_size({sized("a", 5000), sized("tiny1", 4095), sized("b", 4096), sized("tiny2", 4095),
                     sized("c", 5000), sized("lone", 7000), sized("d", 4096), sized("e", 5000)});
  ASSERT_EQ(groups.size(), 2u);
  EXPECT_EQ(groups[0].size, 5000u);
  EXPECT_EQ(paths_of(groups[0]), (std::vector<std::string>{"a", "c", "e"}));
  EXPECT_EQ(groups[1].size, 4096u);
  EXPECT_EQ(paths_of(groups[1]), (std::vector<std::string>{"b", "d"}));
  EXPECT_EQ(count_members(groups), 5u);
}

TEST(RemoveHardLinkAliases, KeepsOneNamePerPhysicalFile) {
  testing::TempDir dir;
  testing::write_sized_file(dir / "first", 8192);
  ASSERT_EQ(link((dir / "first").c_str(), (dir / "second").c_str()), 0);
  ASSERT_EQ(link((dir / "first").c_str(), (dir / "third").c_str()), 0);
  testing::write_sized_file(dir / "copy", 8192);
  testing::write_sized_file(dir / "other", 9000);
  ASSERT_EQ(link((dir / "other").c_str(), (dir / "other-link").c_str()), 0);

  SizeGroups groups = {
      {8192,
       {on_disk(dir / "first", 8192), on_disk(dir / "second", 8192), on_disk(dir / "missing", 8192),
        on_disk(dir / "third", 8192), on_disk(dir / "copy", 8192)}},
      {9000, {on_disk(dir / "other", 9000), on_disk(dir / "other-link", 9000)}},
  };
  EXPECT_EQ(remove_hard_link_aliases(groups), 3u);
  ASSERT_EQ(groups.size(), 1u);  // the 9000-byte pair was one file
  // A member without known links is kept.
  EXPECT_EQ(paths_of(groups[0]),
            (std::vector<std::string>{dir / "first", dir / "missing", dir / "copy"}));
}

}  // namespace
}  // namespace orvc::duplicates
