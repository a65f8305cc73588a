#include "removal/copy_tree.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "removal_fixture.hpp"

namespace orvc::removal {
namespace {

using testing::exists_no_follow;
using testing::make_symlink;
using testing::read_file;
using testing::write_file;

class CopyTreeTest : public testing::RemovalTest {};

TEST_F(CopyTreeTest, CopiesLinksAsLinksAndKeepsModes) {
  write_file(home("src/f"), "f");
  chmod(home("src/f").c_str(), 0604);
  write_file(home("outside/big"), "outside");
  make_symlink(home("outside"), home("src/dir-link"));
  make_symlink("missing", home("src/dangling"));

  ASSERT_TRUE(copy_tree(home("src"), home("new/parents/dst")));
  EXPECT_EQ(read_file(home("new/parents/dst/f")), "f");
  EXPECT_EQ(mode_of(home("new/parents/dst/f")), 0604u);
  char target[256] = {};
  ASSERT_GT(readlink(home("new/parents/dst/dir-link").c_str(), target, sizeof target - 1), 0);
  EXPECT_EQ(std::string(target), home("outside"));
  EXPECT_TRUE(exists_no_follow(home("new/parents/dst/dangling")));
}

TEST_F(CopyTreeTest, StopsAtSpecialFilesAndNeverReplaces) {
  write_file(home("src/a"), "a");
  ASSERT_EQ(mkfifo(home("src/pipe").c_str(), 0600), 0);
  const auto copied = copy_tree(home("src"), home("dst"));
  ASSERT_FALSE(copied);
  EXPECT_EQ(copied.error(),
            "cannot copy '" + home("src/pipe") + "': not a regular file, folder or symbolic link");
  write_file(home("taken"), "old");
  EXPECT_FALSE(copy_tree(home("src/a"), home("taken")));
  EXPECT_EQ(read_file(home("taken")), "old");
}

TEST_F(CopyTreeTest, RemovesOnlyWhatWasCopiedAndHasNotChangedSince) {
  for (const char* name : {"same", "grown", "replaced", "sub/same", "sub/grown"}) {
    write_file(home(std::string("item/") + name), name);
  }
  write_file(home("outside/keep"), "keep");
  make_symlink(home("outside"), home("item/link"));
  const auto copied = copy_tree(home("item"), home("trash/item"));
  ASSERT_TRUE(copied) << copied.error();

  // While the copy was being made: one file grew, one was replaced, one is new.
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
            (std::vector<std::string>{"grown", "replaced", "sub"}));
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

}  // namespace
}  // namespace orvc::removal
