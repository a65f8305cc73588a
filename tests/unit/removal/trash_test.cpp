#include "removal/trash.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "removal/trash_info.hpp"
#include "removal/trash_move.hpp"
#include "removal/trash_record.hpp"
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

TEST(TrashRecord, PercentDecodingUndoesTheEncoding) {
  for (const std::string path : {"/home/u/a b.txt", "/x/%25/ü/\xff\x01", "/plain/path-_.~"}) {
    EXPECT_EQ(percent_decode(percent_encode_path(path)), path);
  }
  EXPECT_EQ(percent_decode("%2f%2F"), "//");
  for (const char* bad : {"%", "%2", "%zz", "a%g1"}) EXPECT_EQ(percent_decode(bad), std::nullopt);
}

TEST(TrashRecord, ParsesWhatTheMoverWritesAndRejectsTheRest) {
  const auto record = parse_trash_record(trash_info_text("/home/u/my file", 0));
  ASSERT_TRUE(record) << record.error();
  EXPECT_EQ(record->original_path, "/home/u/my file");
  EXPECT_EQ(record->deletion_date.size(), 19u);

  const auto crlf = parse_trash_record("[Trash Info]\r\nPath=/a%20b\r\nDeletionDate=x\r\n");
  ASSERT_TRUE(crlf);
  EXPECT_EQ(crlf->original_path, "/a b");

  const std::vector<std::pair<std::string, std::string>> rejected = {
      {"", "no Path in the record"},
      {"[Other]\nPath=/a\n", "no Path in the record"},
      {"[Trash Info]\nPath=a/../../etc\n", "the relative Path leaves its volume"},
      {"[Trash Info]\nPath=/a%zz\n", "malformed Path"},
  };
  for (const auto& [text, message] : rejected) {
    const auto parsed = parse_trash_record(text);
    ASSERT_FALSE(parsed) << text;
    EXPECT_EQ(parsed.error(), message);
  }
}

class TrashMoveTest : public testing::RemovalTest {};

std::string trashed_name(const std::string& path) {
  auto trashed = trash_item(path);
  return trashed ? trashed->name : "failed: " + trashed.error();
}

TEST_F(TrashMoveTest, MovesAnItemAndRecordsWhereItCameFrom) {
  write_file(home("Downloads/a b.zip"), "zip");
  ASSERT_EQ(trashed_name(home("Downloads/a b.zip")), "a b.zip");
  EXPECT_FALSE(exists_no_follow(home("Downloads/a b.zip")));
  EXPECT_EQ(read_file(trash_files("a b.zip")), "zip");
  EXPECT_THAT(read_file(trash_info("a b.zip")),
              StartsWith("[Trash Info]\nPath=" + percent_encode_path(home("Downloads/a b.zip")) +
                         "\nDeletionDate="));
}

TEST_F(TrashMoveTest, MakesTheTrashAgainWhenItGoesBetweenMoves) {
  for (const char* name : {"a", "b", "c", "d"}) write_file(home(name), name);
  ASSERT_EQ(trashed_name(home("a")), "a");
  testing::remove_tree(home(".local/share/Trash"));
  ASSERT_EQ(trashed_name(home("b")), "b");
  EXPECT_EQ(read_file(trash_files("b")), "b");
  EXPECT_TRUE(exists_no_follow(trash_info("b")));
  testing::remove_tree(trash_files());
  ASSERT_EQ(trashed_name(home("c")), "c");
  EXPECT_EQ(read_file(trash_files("c")), "c");
  testing::remove_tree(home(".local/share/Trash/info"));
  ASSERT_EQ(trashed_name(home("d")), "d");
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
  EXPECT_EQ(trashed_name(home("one/a.zip")), "a 3.zip");
  EXPECT_EQ(trashed_name(home("one/b.txt")), "b 2.txt");
  EXPECT_EQ(trashed_name(home("one/c")), "c 2");
  EXPECT_EQ(trashed_name(home("one/.env")), ".env");
  EXPECT_EQ(trashed_name(home("two/.env")), ".env 2");
  EXPECT_EQ(trashed_name(home("one/x.tar.gz")), "x.tar.gz");
  EXPECT_EQ(trashed_name(home("two/x.tar.gz")), "x.tar 2.gz");
  EXPECT_EQ(read_file(trash_files("x.tar 2.gz")), "2");
  EXPECT_EQ(read_file(trash_info("b.txt")), "");
}

TEST_F(TrashMoveTest, RefusesProtectedItemsWithoutTryingTheService) {
  write_file(home(".ssh/id_rsa"), "key");
  const std::string key = home(".ssh/id_rsa");
  EXPECT_EQ(trash_item(key).error(), safety::refusal_before_move(key));
  const auto pinned = pin_item(key);
  ASSERT_TRUE(pinned);
  EXPECT_EQ(move_pinned(key, *pinned, SafetyChecks::Run).error().message,
            safety::refusal_inside_move(key));
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

}  // namespace
}  // namespace orvc::removal
