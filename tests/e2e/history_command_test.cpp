// `orvc history`: runs newest first, each item's state worked out from the Trash. Runs are
// given fixed ids and times once recorded (a later removal would prune old ones).
#include <fmt/format.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <ctime>
#include <ranges>
#include <tuple>

#include "removal_support.hpp"
#include "support/killed_run.hpp"

namespace orvc::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;
using HistoryCommand = RestoreTest;
using namespace std::string_view_literals;

// Also: nothing recorded, where reading creates nothing, and a manifest that cannot be read.
TEST_F(HistoryCommand, ThreeRunsOfDifferentKindsWithARestoredAndAnEmptiedItem) {
  EXPECT_EQ(orvc({"history"}).out, "  No recorded removals.\n");
  EXPECT_FALSE(exists_no_follow(history_folder()));
  write_file(home / "work/a.txt", "abc");
  write_file(home / "work/d/inner", "12345");
  const std::string deleted = delete_run({home / "work/a.txt", home / "work/d"});
  write_sized_file(home / "big/l.bin", 2048);
  const std::string large = recorded_run([&] {
    return orvc({"large-files", "--path", home / "big", "--threshold", "0", "--apply"});
  });
  write_sized_file(home / ".npm/_cacache/index", 1000);
  const std::string junk = recorded_run([&] { return orvc({"dev-junk", "--apply"}); });
  pin_run(deleted, "11111111-0000-4000-8000-000000000000", 1'700'000'000);
  pin_run(large, "22222222-0000-4000-8000-000000000000", 1'700'003'600);
  pin_run(junk, "33333333-0000-4000-8000-000000000000", 1'700'086'400);

  ASSERT_EQ(orvc({"restore", home / "work/a.txt"}).exit_code, 0);
  // Emptied by hand, record and all.
  for (const auto& path : {trash_files("l.bin"), trash_info("l.bin")}) unlink(path.c_str());

  const std::string delete_run_lines =
      "\n  2023-11-14 22:13:20  delete  2 item(s), 8 B, 1 in the Trash  id 11111111\n"
      "    gone      @/work/a.txt\n"
      "    in Trash  @/work/d\n";
  write_file(history_folder() + "/broken.json", "{");
  const auto r = orvc({"history"});
  EXPECT_EQ(std::tuple(r.exit_code, std::ranges::count(r.err, '\n')), std::tuple(0, 1));
  EXPECT_THAT(r.err, StartsWith("[history] skipped unreadable manifest " + history_folder() +
                                "/broken.json: "));
  EXPECT_EQ(r.out, at_root(R"(Cleanup history: 3 run(s)

  2023-11-15 22:13:20  dev-junk  1 item(s), 1000 B, 1 in the Trash  id 33333333
    in Trash  @/.npm/_cacache

  2023-11-14 23:13:20  large-files  1 item(s), 2.0 KB, 0 in the Trash  id 22222222
    gone      @/big/l.bin
)" + delete_run_lines,
                           home.path()));

  const auto under = orvc({"history", "--path", "~/work"});
  EXPECT_EQ(std::tie(under.exit_code, under.out),
            std::tuple(0, at_root("Cleanup history: 1 run(s) under @/work\n" + delete_run_lines,
                                  home.path())));
  EXPECT_EQ(orvc({"history", "--path", home / "nowhere"}).out,
            "  No recorded removals under " + home / "nowhere" + ".\n");
}

TEST_F(HistoryCommand, AReplacedEntryAndALongRun) {
  std::vector<std::string> paths;
  for (int i = 0; i < 12; ++i)
    write_file(paths.emplace_back(home / fmt::format("many/f{:02}", i)), "x");
  pin_run(delete_run(paths), "44444444-0000-4000-8000-000000000000", 1'700'000'000);
  write_file(trash_files("f00"), "not the same");
  // Beyond the ten shown, where only the listings are read: an entry swapped for another of the
  // same size, and a record written anew. Renamed over, so the old inodes are not reused.
  const auto swap_in = [](const std::string& path, const std::string& text) {
    write_file(path + ".new", text);
    ASSERT_EQ(rename((path + ".new").c_str(), path.c_str()), 0);
  };
  swap_in(trash_files("f10"), "y");
  swap_in(trash_info("f11"),
          "[Trash Info]\nPath=" + paths[11] + "\nDeletionDate=2026-01-01T00:00:00\n");

  std::string expected =
      "Cleanup history: 1 run(s)\n\n"
      "  2023-11-14 22:13:20  delete  12 item(s), 12 B, 9 in the Trash  id 44444444\n"
      "    replaced  " +
      paths[0] + "\n";
  for (int i = 1; i < 10; ++i) expected += "    in Trash  " + paths[i] + "\n";
  EXPECT_EQ(orvc({"history"}).out, expected + "    … and 2 more\n");
}

// A run killed amid many moves: every item whole in one place, and the next run finishes its
// manifest from what the Trash holds.
TEST_F(HistoryCommand, KilledAmidManyMovesLosesNothing) {
  const std::vector<std::string> paths = numbered_items(1500);
  std::vector<std::string> args = paths;
  args.insert(args.begin(), "delete");
  signal_when_busy(orvc_command(args), options(),
                   [&](pid_t) { return sorted_entries(trash_files()).size() >= 20; }, {SIGKILL});
  const int moved = count_moved(paths);
  const auto sessions = manifests();
  ASSERT_EQ(sessions.size(), 1u);
  if (moved < 1500) {
    EXPECT_THAT(sessions[0], HasSubstr("\"status\": \"pending\""));
    EXPECT_THAT(sessions[0], HasSubstr("\"original_path\": \"" + paths.back() + "\""));
  }

  // The next run finishes the pending manifest as far as the Trash shows and tidies the records
  // left without an item, once they are an hour old (aged here), keeping every other record.
  const std::string id = sorted_entries(history_folder()).at(0).substr(0, 36);
  const std::string info = home / ".local/share/Trash/info";
  for (const auto& record : sorted_entries(info)) {
    set_mtime(info + "/" + record, std::time(nullptr) - 7200);
  }
  pin_run(id, id, std::time(nullptr) - 7200);
  write_file(home / "later.txt", "later");
  ASSERT_EQ(delete_paths({home / "later.txt"}).exit_code, 0);
  const std::string finished = read_file(history_folder() + "/" + id + ".json");
  EXPECT_THAT(finished, HasSubstr("\"status\": \"completed\""));
  EXPECT_EQ(std::ranges::distance(std::views::split(finished, "\"original_path\""sv)) - 1, moved);
  const auto records = sorted_entries(info);
  for (const auto& record : records) {
    EXPECT_TRUE(exists_no_follow(trash_files(record.substr(0, record.size() - 10)))) << record;
  }
  EXPECT_EQ(records.size(), moved + 1u);
}

}  // namespace
}  // namespace orvc::testing
