#include "removal/trash.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <set>
#include <string>
#include <thread>
#include <vector>

#include "removal/trash_info.hpp"
#include "removal/trash_move.hpp"
#include "removal/trash_record.hpp"
#include "removal_fixture.hpp"
#include "safety/protection.hpp"

namespace orvc::removal {
namespace {

using namespace orvc::testing;
using ::testing::MatchesRegex;

TEST(TrashRecord, EncodesThePathAndDatesInLocalTimeAndReadsThemBack) {
  EXPECT_EQ(percent_encode_path("/h/a b%ü/x_y-z.~1"), "/h/a%20b%25%C3%BC/x_y-z.~1");
  const std::string text = trash_info_text("/h/a b", 0);
  EXPECT_THAT(text, MatchesRegex("\\[Trash Info\\]\nPath=/h/a%20b\nDeletionDate=19[67][0-9]-[0-9]"
                                 "[0-9]-[0-9][0-9]T[0-9][0-9]:[0-9][0-9]:[0-9][0-9]\n"));
  EXPECT_EQ(parse_trash_record(text)->deletion_date, text.substr(text.rfind('=') + 1, 19));
  for (const std::string path : {"/home/u/a b.txt", "/x/%25/ü/\xff\x01", "/plain/path-_.~"}) {
    EXPECT_EQ(parse_trash_record(trash_info_text(path, 0))->original_path, path);
  }
  EXPECT_EQ(percent_decode("%2f%2F"), "//");
  EXPECT_EQ(parse_trash_record("[Trash Info]\r\nPath=/a%20b\r\nDeletionDate=x\r\n")->original_path,
            "/a b");
  const std::pair<std::string, std::string> rejected[] = {
      {"", "no Path in the record"},
      {"[Other]\nPath=/a\n", "no Path in the record"},
      {"[Trash Info]\nPath=a/../../etc\n", "the relative Path leaves its volume"},
      {"[Trash Info]\nPath=/a%2", "malformed Path"},
  };
  for (const auto& [text, message] : rejected) EXPECT_EQ(parse_trash_record(text).error(), message);
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
  write_file(trash_files("a.zip"), "");
  write_file(trash_files("a 2.zip"), "");
  write_file(trash_info("b.txt"), "");  // a record alone takes the name too
  make_dirs(trash_files());
  ASSERT_EQ(symlink("/nonexistent", trash_files("c").c_str()), 0);  // a dangling link too
  for (const auto& [from, name] : {std::pair{"one/a.zip", "a 3.zip"},
                                   {"one/b.txt", "b 2.txt"},
                                   {"one/c", "c 2"},
                                   {"one/.env", ".env"},
                                   {"two/.env", ".env 2"},
                                   {"one/x.tar.gz", "x.tar.gz"},
                                   {"two/x.tar.gz", "x.tar 2.gz"}}) {
    write_file(home(from), from);
    EXPECT_EQ(trashed_name(home(from)), name);
  }
  EXPECT_EQ(read_file(trash_files("x.tar 2.gz")), "two/x.tar.gz");
  EXPECT_EQ(read_file(trash_info("b.txt")), "");
}

TEST_F(TrashMoveTest, RefusesProtectedItemsTheTrashAndEveryFolderHoldingIt) {
  const std::string key = home(".ssh/id_rsa");
  write_file(key, "key");
  EXPECT_EQ(trash_item(key).error(), safety::refusal_before_move(key));
  const auto pinned = pin_item(key);
  ASSERT_TRUE(pinned);
  EXPECT_EQ(move_pinned(key, *pinned, SafetyChecks::Run).error().message,
            safety::refusal_inside_move(key));
  EXPECT_EQ(read_file(key), "key");
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

// Moves from many threads at once: every item gets its own Trash name and its own record.
class TrashThreads : public testing::RemovalTest {};

TEST_F(TrashThreads, ItemsOfOneNameGetDistinctNamesAndRecords) {
  constexpr int kThreads = 8;
  constexpr int kPerThread = 8;
  const auto original = [&](int t, int i) {
    return home("from/" + std::to_string(t * kPerThread + i) + "/same.txt");
  };
  for (int n = 0; n < kThreads * kPerThread; ++n) {
    write_file(original(0, n), std::to_string(n));
  }
  std::vector<std::vector<Result<TrashedItem>>> moved(kThreads);
  std::vector<std::thread> workers;
  for (int t = 0; t < kThreads; ++t) {
    workers.emplace_back([&, t] {
      for (int i = 0; i < kPerThread; ++i) moved[t].push_back(trash_item(original(t, i)));
    });
  }
  for (auto& worker : workers) worker.join();

  std::set<std::string> expected{"same.txt"};
  for (int n = 2; n <= kThreads * kPerThread; ++n)
    expected.insert("same " + std::to_string(n) + ".txt");
  std::set<std::string> seen;
  for (int t = 0; t < kThreads; ++t) {
    for (int i = 0; i < kPerThread; ++i) {
      ASSERT_TRUE(moved[t][i]) << moved[t][i].error();
      const std::string& name = moved[t][i]->name;
      seen.insert(name);
      EXPECT_FALSE(exists_no_follow(original(t, i)));
      EXPECT_EQ(read_file(trash_files(name)), std::to_string(t * kPerThread + i));
      EXPECT_THAT(read_file(trash_info(name)),
                  ::testing::HasSubstr("\nPath=" + percent_encode_path(original(t, i)) + "\n"));
    }
  }
  EXPECT_EQ(seen, expected);
}

}  // namespace
}  // namespace orvc::removal
