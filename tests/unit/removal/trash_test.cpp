#include "removal/trash.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "removal/trash_info.hpp"
#include "removal_fixture.hpp"
#include "safety/protection.hpp"

namespace orvc::removal {
namespace {

using namespace orvc::testing;
using ::testing::MatchesRegex;
using ::testing::StartsWith;

TEST(TrashRecord, EncodesThePathAndDatesInLocalTime) {
  EXPECT_EQ(percent_encode_path("/h/a b%ü/x_y-z.~1"), "/h/a%20b%25%C3%BC/x_y-z.~1");
  EXPECT_THAT(trash_info_text("/h/a b", 0),
              MatchesRegex("\\[Trash Info\\]\nPath=/h/a%20b\nDeletionDate=19[67][0-9]-[0-9][0-9]-"
                           "[0-9][0-9]T[0-9][0-9]:[0-9][0-9]:[0-9][0-9]\n"));
}

class TrashMoveTest : public testing::RemovalTest {};

TEST_F(TrashMoveTest, MovesAnItemAndRecordsWhereItCameFrom) {
  write_file(home("Downloads/a b.zip"), "zip");
  ASSERT_EQ(trash_item(home("Downloads/a b.zip")), "a b.zip");
  EXPECT_FALSE(exists_no_follow(home("Downloads/a b.zip")));
  EXPECT_EQ(read_file(trash_files("a b.zip")), "zip");
  EXPECT_THAT(read_file(trash_info("a b.zip")),
              StartsWith("[Trash Info]\nPath=" + percent_encode_path(home("Downloads/a b.zip")) +
                         "\nDeletionDate="));
}

TEST_F(TrashMoveTest, MakesTheTrashAgainWhenItGoesBetweenMoves) {
  for (const char* name : {"a", "b", "c", "d"}) write_file(home(name), name);
  ASSERT_EQ(trash_item(home("a")), "a");
  testing::remove_tree(home(".local/share/Trash"));
  ASSERT_EQ(trash_item(home("b")), "b");
  EXPECT_EQ(read_file(trash_files("b")), "b");
  EXPECT_TRUE(exists_no_follow(trash_info("b")));
  testing::remove_tree(trash_files());
  ASSERT_EQ(trash_item(home("c")), "c");
  EXPECT_EQ(read_file(trash_files("c")), "c");
  testing::remove_tree(home(".local/share/Trash/info"));
  ASSERT_EQ(trash_item(home("d")), "d");
  EXPECT_TRUE(exists_no_follow(trash_info("d")));
}

TEST_F(TrashMoveTest, PicksTheFirstFreeName) {
  write_file(trash_files("a.zip"), "");
  write_file(trash_files("a 2.zip"), "");
  write_file(trash_info("b.txt"), "");  // a record alone takes the name too
  make_dirs(trash_files());
  ASSERT_EQ(symlink("/nonexistent", trash_files("c").c_str()), 0);  // a dangling link too
  for (const char* name : {"a.zip", "b.txt", "c", ".env", "x.tar.gz"}) {
    write_file(home(std::string("one/") + name), "1");
    write_file(home(std::string("two/") + name), "2");
  }
  EXPECT_EQ(trash_item(home("one/a.zip")), "a 3.zip");
  EXPECT_EQ(trash_item(home("one/b.txt")), "b 2.txt");
  EXPECT_EQ(trash_item(home("one/c")), "c 2");
  EXPECT_EQ(trash_item(home("one/.env")), ".env");
  EXPECT_EQ(trash_item(home("two/.env")), ".env 2");
  EXPECT_EQ(trash_item(home("one/x.tar.gz")), "x.tar.gz");
  EXPECT_EQ(trash_item(home("two/x.tar.gz")), "x.tar 2.gz");
  EXPECT_EQ(read_file(trash_files("x.tar 2.gz")), "2");
  EXPECT_EQ(read_file(trash_info("b.txt")), "");
}

TEST_F(TrashMoveTest, RefusesProtectedItemsWithoutTryingTheService) {
  write_file(home(".ssh/id_rsa"), "key");
  const std::string key = home(".ssh/id_rsa");
  EXPECT_EQ(trash_item(key).error(), safety::refusal_before_move(key));
  EXPECT_EQ(move_into_user_trash(key).error(), safety::refusal_inside_move(key));
  EXPECT_EQ(read_file(key), "key");
}

TEST_F(TrashMoveTest, RefusesTheTrashAndEveryFolderHoldingIt) {
  write_file(trash_files("old"), "old");
  write_file(home(".local/state/x"), "x");
  for (const std::string& path :
       {home(".local"), home(".local/share"), home(".local/share/Trash/"), trash_files(),
        home(".local/share/Trash/info"), home(".local/share/./Trash")}) {
    EXPECT_EQ(trash_item(path).error(),
              "Refusing to move '" + path + "' to ~/.Trash: it is the Trash itself or holds it.");
  }
  EXPECT_EQ(read_file(trash_files("old")), "old");
  EXPECT_TRUE(trash_item(home(".local/state")));
}

TEST_F(TrashMoveTest, ANameThatCannotBeTrashedLeavesTheTrashUntouched) {
  make_dirs(home("d/e"));
  EXPECT_EQ(trash_item(home("d/e/..")).error(),
            "target has no file name (Finder fallback also failed: Error during a `trash` "
            "operation: cannot run gio: No such file or directory (os error 2))");
  EXPECT_TRUE(exists_no_follow(home("d/e")));
  EXPECT_EQ(testing::sorted_entries(trash_files()), std::vector<std::string>{});
}

}  // namespace
}  // namespace orvc::removal
