#include "removal/trash.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>
#include <vector>

#include "../fixture_tree.hpp"
#include "removal/trash_info.hpp"
#include "removal/trash_move.hpp"
#include "removal/trash_record.hpp"
#include "removal_fixture.hpp"
#include "safety/protection.hpp"
#include "support/failure_of.hpp"

namespace orvc::removal {
namespace {

using namespace orvc::testing;
using ::testing::HasSubstr;
using ::testing::MatchesRegex;

TEST(TrashRecord, EncodesThePathAndDatesInLocalTimeAndReadsThemBack) {
  EXPECT_EQ(percent_encode_path("/h/a b%ü/x_y-z.~1"), "/h/a%20b%25%C3%BC/x_y-z.~1");
  const std::string text = trash_info_text("/h/a b", 0);
  EXPECT_THAT(text, MatchesRegex("\\[Trash Info\\]\nPath=/h/a%20b\nDeletionDate=19[67][0-9]-[0-9]"
                                 "[0-9]-[0-9][0-9]T[0-9][0-9]:[0-9][0-9]:[0-9][0-9]\n"));
  EXPECT_EQ(parse_trash_record(text)->deletion_date, text.substr(text.rfind('=') + 1, 19));
  for (const std::string path : {"/home/u/a b.txt", "/x/%25/ü/\xff\x01", "/plain/path-_.~"})
    EXPECT_EQ(parse_trash_record(trash_info_text(path, 0))->original_path, path);
  EXPECT_EQ(percent_decode("%2f%2F"), "//");
  EXPECT_EQ(parse_trash_record("[Trash Info]\r\nPath=/a%20b\r\nDeletionDate=x\r\n")->original_path,
            "/a b");
  const std::pair<std::string, std::string> rejected[] = {
      {"", "no Path in the record"},
      {"[Other]\nPath=/a\n", "no Path in the record"},
      {"[Trash Info]\nPath=a/../../etc\n", "the relative Path leaves its volume"},
      {"[Trash Info]\nPath=/a%2", "malformed Path"},
  };
  for (const auto& [text, message] : rejected)
    EXPECT_EQ(failure_of(parse_trash_record(text)), message);
}

class TrashMoveTest : public testing::RemovalTest {};

std::string trashed_name(const std::string& path) {
  auto trashed = trash_item(path);
  return trashed ? trashed->name : "failed: " + trashed.error();
}

// A plain move and its record: e2e/delete_test.
TEST_F(TrashMoveTest, MakesTheTrashAgainWhenItGoesBetweenMoves) {
  for (const char* name : {"a", "b", "c", "d"}) write_file(home(name), name);
  ASSERT_EQ(trashed_name(home("a")), "a");
  for (const auto& [gone, name] :
       {std::pair{"", "b"}, std::pair{"/files", "c"}, std::pair{"/info", "d"}}) {
    testing::remove_tree(home(".local/share/Trash") + gone);
    ASSERT_EQ(trashed_name(home(name)), name);
    EXPECT_EQ(read_file(trash_files(name)), name);
    EXPECT_TRUE(exists_no_follow(trash_info(name)));
  }
}

TEST_F(TrashMoveTest, PicksTheFirstFreeName) {
  // A record alone takes the name too, and so does a dangling link.
  make_tree(trash_files(), {"a.zip", "a 2.zip", "c->/nonexistent"});
  write_file(trash_info("b.txt"), "");
  std::vector<std::string> names;
  for (const char* from : {"one/a.zip", "one/b.txt", "one/c", "one/.env", "two/.env",
                           "one/x.tar.gz", "two/x.tar.gz"}) {
    write_file(home(from), from);
    names.push_back(trashed_name(home(from)));
  }
  EXPECT_EQ(names, (std::vector<std::string>{"a 3.zip", "b 2.txt", "c 2", ".env", ".env 2",
                                             "x.tar.gz", "x.tar 2.gz"}));
  EXPECT_EQ(read_file(trash_files("x.tar 2.gz")), "two/x.tar.gz");
  EXPECT_EQ(read_file(trash_info("b.txt")), "");
}

TEST_F(TrashMoveTest, RefusesProtectedItemsTheTrashAndEveryFolderHoldingIt) {
  const std::string key = home(".ssh/id_rsa");
  make_tree(home_.path(),
            {".ssh/id_rsa=key", ".local/share/Trash/files/old=old", ".local/state/x"});
  EXPECT_EQ(failure_of(trash_item(key)), safety::refusal_before_move(key));
  const auto pinned = pin_item(key);
  ASSERT_TRUE(pinned);
  EXPECT_EQ(failure_of(move_pinned(key, *pinned, SafetyChecks::Run)).message,
            safety::refusal_inside_move(key));
  EXPECT_EQ(read_file(key), "key");
  for (const std::string& path :
       {home(".local"), home(".local/share"), home(".local/share/Trash/"), trash_files(),
        home(".local/share/Trash/info"), home(".local/share/./Trash")})
    EXPECT_EQ(failure_of(trash_item(path)),
              "Refusing to move '" + path + "' to ~/.Trash: it is the Trash itself or holds it.");
  EXPECT_EQ(read_file(trash_files("old")), "old");
  EXPECT_TRUE(trash_item(home(".local/state")));
}

// Moves from many threads at once: every item gets its own Trash name and its own record.
class TrashThreads : public testing::RemovalTest {};

TEST_F(TrashThreads, ItemsOfOneNameGetDistinctNamesAndRecords) {
  constexpr int kThreads = 8, kPerThread = 8, kItems = kThreads * kPerThread;
  const auto original = [&](int n) { return home("from/" + std::to_string(n) + "/same.txt"); };
  for (int n = 0; n < kItems; ++n) write_file(original(n), std::to_string(n));
  std::vector<Result<TrashedItem>> moved(kItems);
  std::vector<std::jthread> workers;
  for (int t = 0; t < kThreads; ++t)
    workers.emplace_back([&, t] {
      for (int n = t; n < kItems; n += kThreads) moved[n] = trash_item(original(n));
    });
  workers.clear();  // joins them
  std::set<std::string> expected{"same.txt"}, seen;
  for (int n = 2; n <= kItems; ++n) expected.insert("same " + std::to_string(n) + ".txt");
  for (int n = 0; n < kItems; ++n) {
    ASSERT_TRUE(moved[n]) << moved[n].error();
    seen.insert(moved[n]->name);
    EXPECT_FALSE(exists_no_follow(original(n)));
    EXPECT_EQ(read_file(trash_files(moved[n]->name)), std::to_string(n));
    EXPECT_THAT(read_file(trash_info(moved[n]->name)),
                HasSubstr("\nPath=" + percent_encode_path(original(n)) + "\n"));
  }
  EXPECT_EQ(seen, expected);
}

}  // namespace
}  // namespace orvc::removal
