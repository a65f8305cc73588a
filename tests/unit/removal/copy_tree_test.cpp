#include "removal/copy_tree.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "removal_fixture.hpp"

namespace orvc::removal {
namespace {

using testing::exists_no_follow;
using testing::make_symlink;
using testing::read_file;
using testing::sorted_entries;
using testing::write_file;

class CopyTreeTest : public testing::RemovalTest {};

struct stat metadata_of(const std::string& path) {
  struct stat metadata {};
  EXPECT_EQ(lstat(path.c_str(), &metadata), 0) << path << ": " << std::strerror(errno);
  return metadata;
}

// Special files are refused before anything is copied: e2e/cross_volume_test.
TEST_F(CopyTreeTest, RemovesOnlyWhatWasCopiedAndHasNotChangedSince) {
  for (const char* name :
       {"same", "grown", "replaced", "touched", "relinked", "sub/same", "sub/grown"}) {
    write_file(home(std::string("item/") + name), name);
  }
  write_file(home("outside/keep"), "keep");
  make_symlink(home("outside"), home("item/link"));
  // One file under three names inside the item, one shared with the outside.
  write_file(home("outside/o"), "outer");
  for (const auto& [from, to] :
       {std::pair{"item/same", "item/sub/b"}, std::pair{"item/same", "item/c"},
        std::pair{"outside/o", "item/y"}}) {
    ASSERT_EQ(link(home(from).c_str(), home(to).c_str()), 0) << to;
  }
  const auto copied = copy_tree(home("item"), home("trash/item"));
  ASSERT_TRUE(copied) << copied.error();
  const struct stat first = metadata_of(home("trash/item/same"));
  EXPECT_EQ(first.st_nlink, 3u);
  EXPECT_EQ(metadata_of(home("trash/item/sub/b")).st_ino, first.st_ino);
  EXPECT_EQ(metadata_of(home("trash/item/c")).st_ino, first.st_ino);
  // The name shared with the outside becomes a file of its own in the copy.
  EXPECT_EQ(metadata_of(home("trash/item/y")).st_nlink, 1u);
  EXPECT_EQ(read_file(home("trash/item/y")), "outer");

  // While the copy was being made: one file grew, one was replaced, one was written with as
  // many bytes (a new modification time), one is new. One only gained a name elsewhere: its
  // link count and status time moved, its data did not; so do the linked names as each goes.
  testing::set_mtime(home("item/touched"), 1'600'000'000);
  ASSERT_EQ(link(home("item/relinked").c_str(), home("outside/relinked").c_str()), 0);
  write_file(home("item/grown"), "grown and more");
  write_file(home("item/sub/grown"), "grown and more");
  ASSERT_EQ(unlink(home("item/replaced").c_str()), 0);
  write_file(home("item/replaced"), "replaced anew");
  write_file(home("item/sub/new"), "new");

  const auto removed = remove_copied(home("item"), *copied);
  EXPECT_EQ(removed.error(),
            "'" + home("item") + "' changed while it was copied; what changed was left in place");
  EXPECT_EQ(sorted_entries(home("item")),
            (std::vector<std::string>{"grown", "replaced", "sub", "touched"}));
  EXPECT_EQ(sorted_entries(home("item/sub")), (std::vector<std::string>{"grown", "new"}));
  EXPECT_EQ(read_file(home("item/grown")), "grown and more");
  EXPECT_EQ(read_file(home("trash/item/sub/grown")), "sub/grown");
  EXPECT_EQ(read_file(home("outside/relinked")), "relinked");
  EXPECT_EQ(read_file(home("outside/keep")), "keep");
  EXPECT_EQ(metadata_of(home("outside/o")).st_nlink, 1u);

  // What is there is never replaced; unchanged, the whole item goes.
  EXPECT_FALSE(copy_tree(home("item"), home("trash/item")));
  EXPECT_EQ(read_file(home("trash/item/sub/grown")), "sub/grown");
  const auto again = copy_tree(home("item"), home("trash/again"));
  ASSERT_TRUE(again);
  ASSERT_TRUE(remove_copied(home("item"), *again));
  EXPECT_FALSE(exists_no_follow(home("item")));
}

TEST_F(CopyTreeTest, RemoveTreeNeverFollowsLinks) {
  write_file(home("outside/keep"), "keep");
  write_file(home("item/sub/f"), "f");
  make_symlink(home("outside"), home("item/sub/link"));
  make_symlink(home("outside"), home("folder-link"));
  for (const char* path : {"item", "folder-link"}) {
    ASSERT_TRUE(remove_tree(home(path))) << path;
    EXPECT_FALSE(exists_no_follow(home(path))) << path;
  }
  EXPECT_EQ(read_file(home("outside/keep")), "keep");
  EXPECT_FALSE(remove_tree(home("item")));
}

// Modes, modification times, hard and symbolic links travel as e2e/cross_volume_test's round
// trip shows; here, read-only folders, access times, the set-user-ID bit with its owner,
// extended attributes and holes.
TEST_F(CopyTreeTest, ReadOnlyFoldersTimesOwnersExtendedAttributesAndHolesAreKept) {
  const struct {
    const char* path;  // below the item; folders end in '/'
    mode_t mode;
    int64_t atime, mtime;
  } table[] = {
      // Deepest first, so setting a folder's times is the last change inside it.
      {"disk.img", 0640, 1'400'000'000, 1'400'000'000},
      {"suid", 04750, 1'300'000'000, 1'300'000'000},
      {"ro/g", 0444, 1'200'000'000, 1'250'000'000},
      {"ro/", 0555, 1'100'000'000, 1'150'000'000},
      {"", 0750, 1'000'000'000, 1'010'000'000},
  };
  for (const auto& entry : table) {
    const std::string path = home("item/") + entry.path;
    path.ends_with('/') ? testing::make_dirs(path) : write_file(path, entry.path);
  }
  constexpr off_t kSize = off_t{1} << 30;
  const std::vector<std::pair<off_t, std::string>> written = {
      {0, "head"}, {kSize / 2 + 12345, "middle"}, {kSize - 4, "tail"}, {kSize / 4, ""}};
  const int fd = open(home("item/disk.img").c_str(), O_WRONLY | O_CLOEXEC);
  ASSERT_EQ(ftruncate(fd, kSize), 0);
  for (const auto& [offset, bytes] : written)
    ASSERT_EQ(pwrite(fd, bytes.data(), bytes.size(), offset), ssize_t(bytes.size()));
  close(fd);
  bool xattrs = true;  // each holds its own path, where this file system keeps them
  for (const std::string path : {"item", "item/suid"})
    xattrs = xattrs && setxattr(home(path).c_str(), "user.t", path.data(), path.size(), 0) == 0;
  const bool root = geteuid() == 0;
  ASSERT_TRUE(!root || chown(home("item/suid").c_str(), 65534, 65534) == 0);
  for (const auto& entry : table) {
    const std::string path = home("item/") + entry.path;
    ASSERT_EQ(chmod(path.c_str(), entry.mode), 0) << path;
    const timespec times[2] = {{entry.atime, 0}, {entry.mtime, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
  }

  const auto copied = copy_tree(home("item"), home("trash/item"));
  ASSERT_TRUE(copied) << copied.error();
  for (const auto& entry : table) {
    const struct stat source = metadata_of(home("item/") + entry.path);
    const struct stat copy = metadata_of(home("trash/item/") + entry.path);
    const bool owner_kept = root || source.st_uid == geteuid();
    EXPECT_EQ(copy.st_mode & 07777, owner_kept ? entry.mode : entry.mode & ~(S_ISUID | S_ISGID))
        << entry.path;
    EXPECT_EQ(copy.st_mtim.tv_sec, entry.mtime) << entry.path;
    // The check before the copy reads folders, which may move their access time on; the copy
    // keeps the time the copy found.
    EXPECT_EQ(copy.st_atim.tv_sec, S_ISDIR(source.st_mode) ? source.st_atim.tv_sec : entry.atime)
        << entry.path;
    EXPECT_TRUE(!owner_kept || copy.st_uid == source.st_uid) << entry.path;
    EXPECT_EQ(copy.st_size, S_ISDIR(source.st_mode) ? copy.st_size : source.st_size) << entry.path;
    // A file system that keeps holes keeps them in the copy.
    EXPECT_TRUE(source.st_blocks * 512 > kSize / 2 || copy.st_blocks <= 2 * source.st_blocks);
  }
  for (const std::string path : {"item", "item/suid"}) {
    char read_back[64];
    const ssize_t n = getxattr(home("trash/" + path).c_str(), "user.t", read_back, 64);
    EXPECT_TRUE(!xattrs || std::string(read_back, std::max<ssize_t>(n, 0)) == path) << path;
  }
  const int in = open(home("trash/item/disk.img").c_str(), O_RDONLY | O_CLOEXEC);
  for (auto [offset, bytes] : written) {
    if (bytes.empty()) bytes.assign(8, '\0');  // inside a hole
    std::string read_back(bytes.size(), '?');
    ASSERT_EQ(pread(in, read_back.data(), read_back.size(), offset), ssize_t(bytes.size()));
    EXPECT_EQ(read_back, bytes) << "at " << offset;
  }
  close(in);
}

}  // namespace
}  // namespace orvc::removal
