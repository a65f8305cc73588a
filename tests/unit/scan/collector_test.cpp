#include "scan/collector.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>

#include "scan/walk_pool.hpp"
#include "support/deep_tree.hpp"
#include "support/temp_home.hpp"

namespace orvc::scan {
namespace {

using testing::make_dirs;
using testing::make_symlink;
using testing::TempDir;
using testing::write_file;

// Every test points HOME and XDG_DATA_HOME at its own temporary folder.
class Collector : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("HOME", home.path().c_str(), 1);
    setenv("XDG_DATA_HOME", (home / ".local/share").c_str(), 1);
  }

  std::vector<CollectedFile> collect(const std::vector<std::string>& roots,
                                     const std::vector<std::string>& skip_names = {},
                                     bool git_detection = false, const FileFilter& keep = {}) {
    return collect_files(roots, skip_names, git_detection ? GitDetection::On : GitDetection::Off,
                         cancel_flag, keep);
  }

  std::vector<std::string> paths(const std::vector<CollectedFile>& files) {
    std::vector<std::string> out;
    for (const auto& file : files) out.push_back(file.path);
    return out;
  }

  std::vector<std::string> collected_paths(const std::string& root,
                                           const std::vector<std::string>& skip_names = {}) {
    return paths(collect({root}, skip_names));
  }

  TempDir home;
  std::atomic<bool> cancel_flag = false;
};

TEST_F(Collector, RootsThatAreLinksYieldNothingAndFileRootsYieldThemselves) {
  write_file(home / "tree/a.txt", "abc");
  make_symlink(home / "tree", home / "link");
  EXPECT_TRUE(collect({home / "link"}).empty());
  EXPECT_TRUE(collect({home / "missing"}).empty());
  const auto files = collect({home / "tree/a.txt"});
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].path, home / "tree/a.txt");
  EXPECT_EQ(files[0].size, 3u);
}

TEST_F(Collector, RootsComeInTheirGivenOrder) {
  write_file(home / "one/a", "1");
  write_file(home / "two/b", "2");
  EXPECT_EQ(paths(collect({home / "two", home / "one", home / "two/b"})),
            (std::vector<std::string>{home / "two/b", home / "one/a", home / "two/b"}));
}

TEST_F(Collector, LinksInsideTheTreeAreNeverFollowed) {
  write_file(home / "target/file", "x");
  make_dirs(home / "tree");
  make_symlink(home / "target", home / "tree/folder_link");
  make_symlink(home / "target/file", home / "tree/file_link");
  EXPECT_TRUE(collected_paths(home / "tree").empty());
}

TEST_F(Collector, SystemNamesAreNeverReportedAndEmptyFilesAre) {
  write_file(home / "tree/.DS_Store", "meta");
  write_file(home / "tree/Icon\r", "meta");
  write_file(home / "tree/empty", "");
  const auto files = collect({home / "tree"});
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].path, home / "tree/empty");
  EXPECT_EQ(files[0].size, 0u);
}

TEST_F(Collector, FilesWithSizeButNoAllocatedBlocksAreNotReported) {
  make_dirs(home / "tree");
  const std::string sparse = home / "tree/sparse";
  const int fd = open(sparse.c_str(), O_WRONLY | O_CREAT, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(ftruncate(fd, 5 << 20), 0);
  close(fd);
  struct stat metadata {};
  ASSERT_EQ(stat(sparse.c_str(), &metadata), 0);
  if (metadata.st_blocks != 0) GTEST_SKIP() << "this file system allocates blocks on truncate";
  EXPECT_TRUE(collected_paths(home / "tree").empty());
}

TEST_F(Collector, CallerSkipNamesFoldAsciiCaseAndSystemNamesDoNot) {
  write_file(home / "tree/NODE_MODULES/a", "x");
  write_file(home / "tree/.Trashes/b", "x");
  write_file(home / "tree/.trashes/c", "x");
  write_file(home / "tree/node_modulesx/d", "x");
  const auto sorted = [](std::vector<std::string> list) {
    std::ranges::sort(list);
    return list;
  };
  EXPECT_EQ(sorted(collected_paths(home / "tree", {"node_modules"})),
            (std::vector<std::string>{home / "tree/.trashes/c", home / "tree/node_modulesx/d"}));
  EXPECT_EQ(collected_paths(home / "tree", {"node_modules", ".TRASHES"}),
            std::vector<std::string>{home / "tree/node_modulesx/d"});
  EXPECT_EQ(sorted(collected_paths(home / "tree")),
            (std::vector<std::string>{home / "tree/.trashes/c", home / "tree/NODE_MODULES/a",
                                      home / "tree/node_modulesx/d"}));
}

TEST_F(Collector, TheUsersTrashFolderIsNeverEntered) {
  write_file(home / ".local/share/Trash/files/old.bin", "x");
  write_file(home / ".local/share/kept.bin", "x");
  EXPECT_EQ(collected_paths(home.path()), std::vector<std::string>{home / ".local/share/kept.bin"});
}

TEST_F(Collector, OtherFileSystemsMountedBelowTheRootAreNotEntered) {
  write_file(home / "tree/before", "x");
  make_dirs(home / "tree/mnt");
  if (mount("orvc-test", (home / "tree/mnt").c_str(), "tmpfs", 0, "size=1m") != 0) {
    GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
  }
  struct Unmount {
    std::string path;
    ~Unmount() { umount2(path.c_str(), MNT_DETACH); }
  } unmount{home / "tree/mnt"};
  write_file(home / "tree/mnt/inside", "x");
  EXPECT_EQ(collected_paths(home / "tree"), std::vector<std::string>{home / "tree/before"});
  // A root on the other file system is walked as usual.
  EXPECT_EQ(collected_paths(home / "tree/mnt"), std::vector<std::string>{home / "tree/mnt/inside"});
}

// The expected order: listing order, depth first, as one plain thread would walk it.
void walk_serially(const std::string& folder, std::vector<std::string>& out) {
  DIR* listing = opendir(folder.c_str());
  ASSERT_NE(listing, nullptr);
  while (const dirent* entry = readdir(listing)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    const std::string path = folder + "/" + name;
    struct stat metadata {};
    ASSERT_EQ(lstat(path.c_str(), &metadata), 0);
    if (S_ISDIR(metadata.st_mode)) walk_serially(path, out);
    if (S_ISREG(metadata.st_mode)) out.push_back(path);
  }
  closedir(listing);
}

TEST_F(Collector, OrderIsListingOrderDepthFirstWhateverTheScheduling) {
  for (int a = 0; a < 6; ++a) {
    for (int b = 0; b < 6; ++b) {
      write_file(home / ("tree/d" + std::to_string(a) + "/e" + std::to_string(b) + "/f"), "x");
      write_file(home / ("tree/d" + std::to_string(a) + "/g" + std::to_string(b)), "yy");
    }
    write_file(home / ("tree/h" + std::to_string(a)), "z");
  }
  std::vector<std::string> expected;
  walk_serially(home / "tree", expected);
  ASSERT_EQ(expected.size(), 78u);
  for (int run = 0; run < 3; ++run) EXPECT_EQ(collected_paths(home / "tree"), expected);
}

TEST_F(Collector, FilterDropsFilesAndKeepsTheOrderOfTheRest) {
  write_file(home / "tree/a/small", "x");
  write_file(home / "tree/a/big", "xxxx");
  write_file(home / "tree/b/big", "xxxx");
  std::vector<std::string> all_big;
  for (const auto& path : collected_paths(home / "tree")) {
    if (path.ends_with("big")) all_big.push_back(path);
  }
  const FileFilter big = [](const struct stat& metadata) { return metadata.st_size > 1; };
  EXPECT_EQ(paths(collect({home / "tree"}, {}, false, big)), all_big);
}

TEST_F(Collector, ModificationTimesBeforeTheEpochAreAbsent) {
  write_file(home / "tree/old", "x");
  testing::set_mtime(home / "tree/old", -100);
  write_file(home / "tree/new", "x");
  testing::set_mtime(home / "tree/new", 1'700'000'000);
  for (const auto& file : collect({home / "tree"})) {
    if (file.path.ends_with("old")) {
      EXPECT_FALSE(file.modified_secs);
    } else {
      EXPECT_EQ(file.modified_secs, 1'700'000'000);
    }
  }
}

TEST_F(Collector, GitStatesFollowTheRulesOfTheEnclosingRepository) {
  make_dirs(home / "repo/.git");
  write_file(home / "repo/.gitignore", "*.log\n");
  write_file(home / "repo/src/a.log", "x");
  write_file(home / "repo/src/a.c", "x");
  make_dirs(home / "repo/inner/.git");
  write_file(home / "repo/inner/b.log", "x");
  write_file(home / "outside/c.log", "x");
  std::map<std::string, GitState> states;
  for (const auto& file : collect({home / "repo", home / "outside"}, {".git"}, true)) {
    states[file.path] = file.git;
  }
  EXPECT_EQ(states[home / "repo/src/a.log"], GitState::Ignored);
  EXPECT_EQ(states[home / "repo/src/a.c"], GitState::Tracked);
  EXPECT_EQ(states[home / "repo/inner/b.log"], GitState::Tracked);
  EXPECT_EQ(states[home / "outside/c.log"], GitState::OutsideRepository);
  EXPECT_EQ(collect({home / "repo/src/a.log"}, {}, true).at(0).git, GitState::Ignored);
  EXPECT_EQ(collect({home / "repo"}, {}, false).at(0).git, GitState::OutsideRepository);
}

TEST_F(Collector, ASetCancelFlagYieldsNothing) {
  write_file(home / "tree/a", "x");
  cancel_flag = true;
  EXPECT_TRUE(collected_paths(home / "tree").empty());
}

TEST_F(Collector, FilesDeeperThanAPathCanHoldAreFound) {
  constexpr int kDepth = 5000;
  if (!testing::allow_open_files(256)) GTEST_SKIP() << "the open-file limit is too low";
  const auto temp = testing::make_fast_temp_dir();
  const std::string root = *temp / "tree";
  struct Cleanup {
    std::string root;
    ~Cleanup() { testing::remove_deep_tree(root); }
  } cleanup{root};
  testing::make_deep_tree(root, kDepth, "bottom", "deepest");
  testing::make_deep_tree(root, 2100, "middle", "half");
  testing::make_deep_tree(root, 1, "top", "shallow");
  const std::string bottom = testing::deep_path(root, kDepth) + "/bottom";
  const std::string middle = testing::deep_path(root, 2100) + "/middle";
  ASSERT_GT(bottom.size(), size_t{PATH_MAX});

  const auto files = collect({root});
  std::map<std::string, uint64_t> sizes;
  for (const auto& file : files) sizes[file.path] = file.size;
  EXPECT_EQ(sizes, (std::map<std::string, uint64_t>{
                       {testing::deep_path(root, 1) + "/top", 7}, {middle, 4}, {bottom, 7}}));
  EXPECT_EQ(files.size(), 3u);
}

TEST(WalkPool, SizeIsProcessorsLessOneClampedAndThreeWhenUnknown) {
  EXPECT_EQ(walk_pool_size(std::nullopt), 3u);
  EXPECT_EQ(walk_pool_size(1), 2u);
  EXPECT_EQ(walk_pool_size(2), 2u);
  EXPECT_EQ(walk_pool_size(8), 7u);
  EXPECT_EQ(walk_pool_size(100000), 65535u);
}

}  // namespace
}  // namespace orvc::scan
