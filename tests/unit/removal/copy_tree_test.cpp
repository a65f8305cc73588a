#include "removal/copy_tree.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <string>
#include <tuple>
#include <vector>

#include "../fixture_tree.hpp"
#include "removal_fixture.hpp"
#include "support/failure_of.hpp"
#include "util/unique_fd.hpp"

namespace orvc::removal {
namespace {

using namespace orvc::testing;
using Names = std::vector<std::string>;

class CopyTreeTest : public testing::RemovalTest {};

// Special files are refused before anything is copied: e2e/cross_volume_test.
TEST_F(CopyTreeTest, RemovesOnlyWhatWasCopiedAndHasNotChangedSince) {
  for (const char* name :
       {"same", "grown", "replaced", "touched", "relinked", "sub/same", "sub/grown"})
    write_file(home(std::string("item/") + name), name);
  make_tree(home_.path(),
            {"outside/keep=keep", "outside/o=outer", "item/link->" + home("outside")});
  // One file under three names inside the item, one shared with the outside.
  for (const auto& [from, to] :
       {std::pair{"item/same", "item/sub/b"}, {"item/same", "item/c"}, {"outside/o", "item/y"}})
    ASSERT_EQ(link(home(from).c_str(), home(to).c_str()), 0) << to;
  const auto copied = copy_tree(home("item"), home("trash/item"));
  ASSERT_TRUE(copied) << copied.error();
  const struct stat first = metadata_of(home("trash/item/same"));
  EXPECT_EQ(first.st_nlink, 3u);
  for (const char* other : {"trash/item/sub/b", "trash/item/c"})
    EXPECT_EQ(metadata_of(home(other)).st_ino, first.st_ino) << other;
  // The name shared with the outside becomes a file of its own in the copy.
  EXPECT_EQ(metadata_of(home("trash/item/y")).st_nlink, 1u);
  EXPECT_EQ(read_file(home("trash/item/y")), "outer");

  // While the copy was being made: one file grew, one was replaced, one was written with as
  // many bytes (a new modification time), one is new. One only gained a name elsewhere: its
  // link count and status time moved, its data did not; so do the linked names as each goes.
  set_mtime(home("item/touched"), 1'600'000'000);
  ASSERT_EQ(link(home("item/relinked").c_str(), home("outside/relinked").c_str()), 0);
  ASSERT_EQ(unlink(home("item/replaced").c_str()), 0);
  make_tree(home_.path(), {"item/grown=grown and more", "item/sub/grown=grown and more",
                           "item/replaced=replaced anew", "item/sub/new=new"});

  EXPECT_EQ(failure_of(remove_copied(home("item"), *copied)),
            "'" + home("item") + "' changed while it was copied; what changed was left in place");
  EXPECT_EQ(sorted_entries(home("item")), (Names{"grown", "replaced", "sub", "touched"}));
  EXPECT_EQ(sorted_entries(home("item/sub")), (Names{"grown", "new"}));
  const Names kept = {"item/grown", "trash/item/sub/grown", "outside/relinked", "outside/keep"};
  Names contents;
  for (const auto& path : kept) contents.push_back(read_file(home(path)));
  EXPECT_EQ(contents, (Names{"grown and more", "sub/grown", "relinked", "keep"}));
  EXPECT_EQ(metadata_of(home("outside/o")).st_nlink, 1u);

  // What is there is never replaced; unchanged, the whole item goes.
  EXPECT_FALSE(copy_tree(home("item"), home("trash/item")));
  EXPECT_EQ(read_file(home("trash/item/sub/grown")), "sub/grown");
  const auto again = copy_tree(home("item"), home("trash/again"));
  ASSERT_TRUE(again && remove_copied(home("item"), *again));
  EXPECT_FALSE(exists_no_follow(home("item")));
}

TEST_F(CopyTreeTest, RemoveTreeNeverFollowsLinks) {
  make_tree(home_.path(), {"outside/keep=keep", "item/sub/f=f", "item/sub/link->" + home("outside"),
                           "folder-link->" + home("outside")});
  for (const char* path : {"item", "folder-link"})
    ASSERT_TRUE(removal::remove_tree(home(path)) && !exists_no_follow(home(path))) << path;
  EXPECT_EQ(read_file(home("outside/keep")), "keep");
  EXPECT_FALSE(removal::remove_tree(home("item")));
}

// Modes, modification times, hard and symbolic links travel as e2e/cross_volume_test's round
// trip shows; here, read-only folders, access times, the set-user-ID bit with its owner,
// extended attributes and holes.
TEST_F(CopyTreeTest, ReadOnlyFoldersTimesOwnersExtendedAttributesAndHolesAreKept) {
  // Below the item (folders end in '/'): mode, access and modification times.
  const std::tuple<const char*, mode_t, int64_t, int64_t> table[] = {
      // Deepest first, so setting a folder's times is the last change inside it.
      {"disk.img", 0640, 1'400'000'000, 1'400'000'000},
      {"suid", 04750, 1'300'000'000, 1'300'000'000},
      {"ro/g", 0444, 1'200'000'000, 1'250'000'000},
      {"ro/", 0555, 1'100'000'000, 1'150'000'000},
      {"", 0750, 1'000'000'000, 1'010'000'000},
  };
  for (const auto& [path, mode, atime, mtime] : table)
    make_tree(home_.path(), {std::string("item/") + path});
  constexpr off_t kSize = off_t{1} << 30;
  const std::vector<std::pair<off_t, std::string>> written = {
      {0, "head"}, {kSize / 2 + 12345, "middle"}, {kSize - 4, "tail"}, {kSize / 4, ""}};
  const UniqueFd out(open(home("item/disk.img").c_str(), O_WRONLY | O_CLOEXEC));
  ASSERT_EQ(ftruncate(out.get(), kSize), 0);
  for (const auto& [offset, bytes] : written)
    ASSERT_EQ(pwrite(out.get(), bytes.data(), bytes.size(), offset), ssize_t(bytes.size()));
  bool xattrs = true;  // each holds its own path, where this file system keeps them
  for (const std::string path : {"item", "item/suid"})
    xattrs = xattrs && setxattr(home(path).c_str(), "user.t", path.data(), path.size(), 0) == 0;
  const bool root = geteuid() == 0;
  ASSERT_TRUE(!root || chown(home("item/suid").c_str(), 65534, 65534) == 0);
  for (const auto& [path, mode, atime, mtime] : table) {
    const timespec times[2] = {{atime, 0}, {mtime, 0}};
    ASSERT_EQ(chmod((home("item/") + path).c_str(), mode), 0) << path;
    ASSERT_EQ(utimensat(AT_FDCWD, (home("item/") + path).c_str(), times, 0), 0) << path;
  }

  const auto copied = copy_tree(home("item"), home("trash/item"));
  ASSERT_TRUE(copied) << copied.error();
  for (const auto& [path, mode, atime, mtime] : table) {
    SCOPED_TRACE(path);
    const struct stat source = metadata_of(home("item/") + path);
    const struct stat copy = metadata_of(home("trash/item/") + path);
    const bool owner_kept = root || source.st_uid == geteuid();
    EXPECT_EQ(copy.st_mode & 07777, owner_kept ? mode : mode & ~(S_ISUID | S_ISGID));
    EXPECT_EQ(copy.st_mtim.tv_sec, mtime);
    // The check before the copy reads folders, which may move their access time on; the copy
    // keeps the time the copy found.
    EXPECT_EQ(copy.st_atim.tv_sec, S_ISDIR(source.st_mode) ? source.st_atim.tv_sec : atime);
    EXPECT_TRUE(!owner_kept || copy.st_uid == source.st_uid);
    EXPECT_EQ(copy.st_size, S_ISDIR(source.st_mode) ? copy.st_size : source.st_size);
    // A file system that keeps holes keeps them in the copy.
    EXPECT_TRUE(source.st_blocks * 512 > kSize / 2 || copy.st_blocks <= 2 * source.st_blocks);
  }
  for (const std::string path : {"item", "item/suid"}) {
    char read_back[64];
    const ssize_t n = getxattr(home("trash/" + path).c_str(), "user.t", read_back, 64);
    EXPECT_TRUE(!xattrs || std::string(read_back, std::max<ssize_t>(n, 0)) == path) << path;
  }
  const UniqueFd in(open(home("trash/item/disk.img").c_str(), O_RDONLY | O_CLOEXEC));
  for (auto [offset, bytes] : written) {
    if (bytes.empty()) bytes.assign(8, '\0');  // inside a hole
    std::string read_back(bytes.size(), '?');
    ASSERT_EQ(pread(in.get(), read_back.data(), read_back.size(), offset), ssize_t(bytes.size()));
    EXPECT_EQ(read_back, bytes) << "at " << offset;
  }
}

}  // namespace
}  // namespace orvc::removal
