#include "removal/copy_tree.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "removal_fixture.hpp"
#include "support/deep_tree.hpp"

namespace orvc::removal {
namespace {

using testing::exists_no_follow;
using testing::make_symlink;
using testing::read_file;
using testing::write_file;

class CopyTreeTest : public testing::RemovalTest {};

struct stat metadata_of(const std::string& path) {
  struct stat metadata {};
  EXPECT_EQ(lstat(path.c_str(), &metadata), 0) << path << ": " << std::strerror(errno);
  return metadata;
}

// Special files are refused before anything is copied: removable_check_test.
TEST_F(CopyTreeTest, NeverReplacesWhatIsThere) {
  write_file(home("src/a"), "a");
  write_file(home("taken"), "old");
  EXPECT_FALSE(copy_tree(home("src/a"), home("taken")));
  EXPECT_EQ(read_file(home("taken")), "old");
}

TEST_F(CopyTreeTest, RemovesOnlyWhatWasCopiedAndHasNotChangedSince) {
  for (const char* name :
       {"same", "grown", "replaced", "touched", "relinked", "sub/same", "sub/grown"}) {
    write_file(home(std::string("item/") + name), name);
  }
  write_file(home("outside/keep"), "keep");
  make_symlink(home("outside"), home("item/link"));
  const auto copied = copy_tree(home("item"), home("trash/item"));
  ASSERT_TRUE(copied) << copied.error();

  // While the copy was being made: one file grew, one was replaced, one was written with as
  // many bytes (a new modification time), one is new. One only gained a name elsewhere: its
  // link count and status time moved, its data did not.
  testing::set_mtime(home("item/touched"), 1'600'000'000);
  ASSERT_EQ(link(home("item/relinked").c_str(), home("outside/relinked").c_str()), 0);
  write_file(home("item/grown"), "grown and more");
  write_file(home("item/sub/grown"), "grown and more");
  ASSERT_EQ(unlink(home("item/replaced").c_str()), 0);
  write_file(home("item/replaced"), "replaced anew");
  write_file(home("item/sub/new"), "new");

  const auto removed = remove_copied(home("item"), *copied);
  ASSERT_FALSE(removed);
  EXPECT_EQ(removed.error(),
            "'" + home("item") + "' changed while it was copied; what changed was left in place");
  EXPECT_EQ(testing::sorted_entries(home("item")),
            (std::vector<std::string>{"grown", "replaced", "sub", "touched"}));
  EXPECT_EQ(read_file(home("outside/relinked")), "relinked");
  EXPECT_EQ(testing::sorted_entries(home("item/sub")), (std::vector<std::string>{"grown", "new"}));
  EXPECT_EQ(read_file(home("item/grown")), "grown and more");
  EXPECT_EQ(read_file(home("trash/item/sub/grown")), "sub/grown");
  EXPECT_EQ(read_file(home("outside/keep")), "keep");

  // Unchanged, the whole item goes.
  const auto again = copy_tree(home("item"), home("trash/again"));
  ASSERT_TRUE(again);
  ASSERT_TRUE(remove_copied(home("item"), *again));
  EXPECT_FALSE(exists_no_follow(home("item")));
}

TEST_F(CopyTreeTest, RemovesWithoutFollowingLinks) {
  write_file(home("outside/keep"), "keep");
  write_file(home("item/sub/f"), "f");
  make_symlink(home("outside"), home("item/sub/link"));
  make_symlink(home("outside"), home("folder-link"));

  ASSERT_TRUE(remove_tree(home("item")));
  EXPECT_FALSE(exists_no_follow(home("item")));
  ASSERT_TRUE(remove_tree(home("folder-link")));
  EXPECT_FALSE(exists_no_follow(home("folder-link")));
  EXPECT_EQ(read_file(home("outside/keep")), "keep");
  EXPECT_FALSE(remove_tree(home("item")));
}

TEST_F(CopyTreeTest, HardLinksStayLinksAndRemovingOneNameIsNoChange) {
  // A build folder: one file under three names inside the item, one shared with the outside.
  write_file(home("item/a"), "shared");
  write_file(home("outside/o"), "outer");
  for (const auto& [from, to] : std::vector<std::pair<std::string, std::string>>{
           {"item/a", "item/sub/b"}, {"item/a", "item/c"}, {"outside/o", "item/y"}}) {
    testing::make_dirs(home(to.substr(0, to.rfind('/'))));
    ASSERT_EQ(link(home(from).c_str(), home(to).c_str()), 0) << to;
  }
  const auto copied = copy_tree(home("item"), home("trash/item"));
  ASSERT_TRUE(copied) << copied.error();

  const struct stat first = metadata_of(home("trash/item/a"));
  EXPECT_EQ(first.st_nlink, 3u);
  for (const char* name : {"sub/b", "c"}) {
    EXPECT_EQ(metadata_of(home("trash/item/") + name).st_ino, first.st_ino) << name;
  }
  EXPECT_EQ(read_file(home("trash/item/sub/b")), "shared");
  // The name shared with the outside becomes a file of its own in the copy.
  EXPECT_NE(metadata_of(home("trash/item/y")).st_ino, first.st_ino);
  EXPECT_EQ(metadata_of(home("trash/item/y")).st_nlink, 1u);
  EXPECT_EQ(read_file(home("trash/item/y")), "outer");

  const auto removed = remove_copied(home("item"), *copied);
  ASSERT_TRUE(removed) << removed.error();
  EXPECT_FALSE(exists_no_follow(home("item")));
  EXPECT_EQ(read_file(home("outside/o")), "outer");
  EXPECT_EQ(metadata_of(home("outside/o")).st_nlink, 1u);
}

TEST_F(CopyTreeTest, SparseFilesStaySparse) {
  constexpr off_t kSize = off_t{1} << 30;
  testing::make_dirs(home("item"));
  const std::string sparse = home("item/disk.img");
  const int fd = open(sparse.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(ftruncate(fd, kSize), 0);
  const std::vector<std::pair<off_t, std::string>> written = {
      {0, "head"}, {kSize / 2 + 12345, "middle"}, {kSize - 4, "tail"}};
  for (const auto& [offset, bytes] : written) {
    ASSERT_EQ(pwrite(fd, bytes.data(), bytes.size(), offset), static_cast<ssize_t>(bytes.size()));
  }
  close(fd);
  const struct stat source = metadata_of(sparse);
  if (source.st_blocks * 512 > kSize / 2) GTEST_SKIP() << "this file system keeps no holes";

  const auto copied = copy_tree(home("item"), home("trash/item"));
  ASSERT_TRUE(copied) << copied.error();
  const struct stat copy = metadata_of(home("trash/item/disk.img"));
  EXPECT_EQ(copy.st_size, kSize);
  EXPECT_LE(copy.st_blocks, 2 * source.st_blocks);
  const int in = open(home("trash/item/disk.img").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(in, 0);
  for (const auto& [offset, bytes] : written) {
    std::string read_back(bytes.size(), '?');
    ASSERT_EQ(pread(in, read_back.data(), read_back.size(), offset),
              static_cast<ssize_t>(bytes.size()));
    EXPECT_EQ(read_back, bytes) << "at " << offset;
  }
  std::string hole(8, '?');
  ASSERT_EQ(pread(in, hole.data(), hole.size(), kSize / 4), 8);
  EXPECT_EQ(hole, std::string(8, '\0'));
  close(in);
}

struct Kept {
  const char* path;  // below the item; folders end in '/'
  mode_t mode;
  int64_t atime;
  int64_t mtime;
  long mtime_ns;
};

TEST_F(CopyTreeTest, ModesTimesAndOwnersAreKept) {
  const std::vector<Kept> table = {
      {"f", 0640, 1'500'000'000, 1'600'000'000, 123'456'789},
      {"run.sh", 0755, 1'400'000'000, 1'400'000'001, 5},
      {"suid", 04750, 1'300'000'000, 1'300'000'000, 0},
      {"ro/g", 0444, 1'200'000'000, 1'250'000'000, 999'999'999},
      {"ro/", 0555, 1'100'000'000, 1'150'000'000, 42},
      {"open/", 0777, 1'000'000'000, 1'050'000'000, 0},
      {"", 0750, 1'000'000'000, 1'010'000'000, 7},
  };
  const bool root = geteuid() == 0;
  for (const Kept& entry : table) {
    const std::string path = home("item/") + entry.path;
    if (path.ends_with('/')) {
      testing::make_dirs(path);
    } else {
      write_file(path, entry.path);
    }
  }
  make_symlink("f", home("item/link"));
  make_symlink(home("outside"), home("item/folder-link"));
  testing::make_dirs(home("outside"));
  // As root the owner travels too, set-user-ID bit and all.
  if (root) {
    ASSERT_EQ(chown(home("item/suid").c_str(), 65534, 65534), 0);
  }
  // Deepest first, so setting a folder's times is the last change inside it.
  for (const Kept& entry : table) {
    const std::string path = home("item/") + entry.path;
    ASSERT_EQ(chmod(path.c_str(), entry.mode), 0) << path;
    const timespec times[2] = {{entry.atime, 0}, {entry.mtime, entry.mtime_ns}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
  }
  const timespec link_times[2] = {{1'000'000'000, 0}, {1'000'000'321, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, home("item/link").c_str(), link_times, AT_SYMLINK_NOFOLLOW), 0);

  const auto copied = copy_tree(home("item"), home("trash/item"));
  ASSERT_TRUE(copied) << copied.error();
  for (const Kept& entry : table) {
    const struct stat source = metadata_of(home("item/") + entry.path);
    const struct stat copy = metadata_of(home("trash/item/") + entry.path);
    const bool owner_kept = root || source.st_uid == geteuid();
    const mode_t mode = owner_kept ? entry.mode : entry.mode & ~(S_ISUID | S_ISGID);
    EXPECT_EQ(copy.st_mode & 07777, mode) << entry.path;
    EXPECT_EQ(copy.st_mtim.tv_sec, entry.mtime) << entry.path;
    EXPECT_EQ(copy.st_mtim.tv_nsec, entry.mtime_ns) << entry.path;
    // A folder is read by the check before the copy, which may move its access time on; the
    // copy keeps the time the copy found.
    const bool folder = S_ISDIR(source.st_mode);
    EXPECT_EQ(copy.st_atim.tv_sec, folder ? source.st_atim.tv_sec : entry.atime) << entry.path;
    if (owner_kept) {
      EXPECT_EQ(copy.st_uid, source.st_uid) << entry.path;
    }
  }
  // Links are copied as links, never followed.
  EXPECT_EQ(metadata_of(home("trash/item/link")).st_mtim.tv_sec, 1'000'000'321);
  EXPECT_EQ(std::filesystem::read_symlink(home("trash/item/link")), "f");
  EXPECT_EQ(std::filesystem::read_symlink(home("trash/item/folder-link")), home("outside"));
}

TEST_F(CopyTreeTest, ExtendedAttributesAreKept) {
  write_file(home("item/f"), "f");
  const std::vector<std::pair<std::string, std::string>> attributes = {{"item/f", "file value"},
                                                                       {"item", "folder value"}};
  for (const auto& [path, value] : attributes) {
    if (setxattr(home(path).c_str(), "user.orvc.test", value.data(), value.size(), 0) != 0) {
      GTEST_SKIP() << "no user extended attributes here: " << std::strerror(errno);
    }
  }
  const auto copied = copy_tree(home("item"), home("trash/item"));
  ASSERT_TRUE(copied) << copied.error();
  for (const auto& [path, value] : attributes) {
    std::string read_back(64, '\0');
    const ssize_t n = getxattr(home("trash/" + path).c_str(), "user.orvc.test", read_back.data(),
                               read_back.size());
    ASSERT_GE(n, 0) << path << ": " << std::strerror(errno);
    read_back.resize(static_cast<size_t>(n));
    EXPECT_EQ(read_back, value) << path;
  }
}

TEST_F(CopyTreeTest, TreesDeeperThanAPathCanHoldAreCheckedCopiedAndRemoved) {
  constexpr int kDepth = 5000;
  if (!testing::allow_open_files(2 * kDepth + 64)) {
    GTEST_SKIP() << "the open-file limit is below one handle per level of both trees";
  }
  const auto temp = testing::make_fast_temp_dir();
  const std::string source = *temp / "deep";
  const std::string copy = *temp / "deep-copy";
  struct Cleanup {
    std::string a, b;
    ~Cleanup() {
      testing::remove_deep_tree(a);
      testing::remove_deep_tree(b);
    }
  } cleanup{source, copy};
  testing::make_deep_tree(source, kDepth, "f", "bottom");
  testing::make_deep_tree(source, kDepth / 2, "middle", "half way");
  const int temp_fd = open(temp->path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(temp_fd, 0);

  const auto checked = check_removable_tree_at(temp_fd, "deep", source);
  EXPECT_TRUE(checked) << checked.error().substr(0, 200);
  const auto copied = copy_tree_at(temp_fd, "deep", temp_fd, "deep-copy", source);
  ASSERT_TRUE(copied) << copied.error().substr(0, 200);
  EXPECT_EQ(testing::read_deep_file(copy, kDepth, "f"), "bottom");
  EXPECT_EQ(testing::read_deep_file(copy, kDepth / 2, "middle"), "half way");

  const auto removed = remove_copied_at(temp_fd, "deep", *copied, source);
  EXPECT_TRUE(removed) << removed.error().substr(0, 200);
  EXPECT_FALSE(exists_no_follow(source));
  const auto removed_copy = remove_tree_at(temp_fd, "deep-copy");
  EXPECT_TRUE(removed_copy) << removed_copy.error().substr(0, 200);
  EXPECT_FALSE(exists_no_follow(copy));
  close(temp_fd);
}

}  // namespace
}  // namespace orvc::removal
