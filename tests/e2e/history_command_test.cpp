// `orvc history`: runs newest first, each item's state worked out from the Trash.
#include <gtest/gtest.h>
#include <unistd.h>

#include <ctime>
#include <nlohmann/json.hpp>

#include "restore_support.hpp"

namespace orvc::testing {
namespace {

struct RecordedRun {
  std::string id;
  int64_t time = 0;
  std::vector<std::string> paths;
  uint64_t total = 0;
};

class HistoryCommand : public RestoreTest {
 protected:
  // The one run the last command recorded.
  RecordedRun newest_run(const std::vector<std::string>& before) {
    RecordedRun run;
    for (const auto& name : sorted_entries(history_folder())) {
      if (std::find(before.begin(), before.end(), name) != before.end()) continue;
      const auto json = nlohmann::json::parse(read_file(history_folder() + "/" + name));
      run.id = json["session_id"];
      run.time = json["unix_timestamp"];
      run.total = json["total_bytes_freed"];
      for (const auto& file : json["deleted_files"]) run.paths.push_back(file["original_path"]);
    }
    EXPECT_FALSE(run.id.empty());
    return run;
  }

  static std::string heading(const RecordedRun& run, const std::string& kind, size_t in_trash,
                             const std::string& size) {
    const auto moment = static_cast<std::time_t>(run.time);
    std::tm utc{};
    gmtime_r(&moment, &utc);
    char date[32];
    std::strftime(date, sizeof date, "%Y-%m-%d %H:%M:%S", &utc);
    return "\n  " + std::string(date) + "  " + kind + "  " + std::to_string(run.paths.size()) +
           " item(s), " + size + ", " + std::to_string(in_trash) + " in the Trash  id " +
           run.id.substr(0, 8) + "\n";
  }
};

TEST_F(HistoryCommand, ThreeRunsOfDifferentKindsWithARestoredAndAnEmptiedItem) {
  write_file(home / "work/a.txt", "abc");
  write_file(home / "work/d/inner", "12345");
  auto before = sorted_entries(history_folder());
  ASSERT_EQ(delete_paths({home / "work/a.txt", home / "work/d"}).exit_code, 0);
  const RecordedRun deleted = newest_run(before);

  write_sized_file(home / "big/l.bin", 2048);
  before = sorted_entries(history_folder());
  const auto large = orvc({"large-files", "--path", home / "big", "--threshold", "0", "--apply"});
  ASSERT_EQ(large.exit_code, 0) << large.err;
  const RecordedRun large_run = newest_run(before);
  ASSERT_EQ(large_run.paths, std::vector<std::string>{home / "big/l.bin"});

  write_sized_file(home / ".npm/_cacache/index", 1000);
  before = sorted_entries(history_folder());
  const auto junk = orvc({"dev-junk", "--apply"});
  ASSERT_EQ(junk.exit_code, 0) << junk.err;
  const RecordedRun junk_run = newest_run(before);
  ASSERT_EQ(junk_run.paths, std::vector<std::string>{home / ".npm/_cacache"});

  ASSERT_EQ(orvc({"restore", home / "work/a.txt"}).exit_code, 0);
  unlink(trash_files("l.bin").c_str());  // emptied by hand, record and all
  unlink(trash_info("l.bin").c_str());

  const auto r = orvc({"history"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, "Cleanup history: 3 run(s)\n" + heading(junk_run, "dev-junk", 1, "1000 B") +
                       "    in Trash  " + home / ".npm/_cacache" + "\n" +
                       heading(large_run, "large-files", 0, "2.0 KB") + "    gone      " +
                       home / "big/l.bin" + "\n" + heading(deleted, "delete", 1, "8 B") +
                       "    gone      " + home / "work/a.txt" + "\n" + "    in Trash  " +
                       home / "work/d" + "\n");

  const auto under = orvc({"history", "--path", "~/work"});
  EXPECT_EQ(under.exit_code, 0);
  EXPECT_EQ(under.out, "Cleanup history: 1 run(s) under " + home / "work" + "\n" +
                           heading(deleted, "delete", 1, "8 B") + "    gone      " +
                           home / "work/a.txt" + "\n" + "    in Trash  " + home / "work/d" + "\n");
  EXPECT_EQ(orvc({"history", "--path", home / "nowhere"}).out,
            "  No recorded removals under " + home / "nowhere" + ".\n");
}

TEST_F(HistoryCommand, AReplacedEntryAndALongRun) {
  std::vector<std::string> paths;
  for (int i = 0; i < 12; ++i) {
    paths.push_back(home / ("many/f" + std::to_string(i / 10) + std::to_string(i % 10)));
    write_file(paths.back(), "x");
  }
  const auto before = sorted_entries(history_folder());
  ASSERT_EQ(delete_paths(paths).exit_code, 0);
  const RecordedRun run = newest_run(before);
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

  const auto r = orvc({"history"});
  std::string expected = "Cleanup history: 1 run(s)\n" + heading(run, "delete", 9, "12 B") +
                         "    replaced  " + paths[0] + "\n";
  for (int i = 1; i < 10; ++i) expected += "    in Trash  " + paths[i] + "\n";
  expected += "    … and 2 more\n";
  EXPECT_EQ(r.out, expected);
}

TEST_F(HistoryCommand, NothingRecordedAndAnUnreadableManifest) {
  auto r = orvc({"history"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "  No recorded removals.\n");
  EXPECT_FALSE(exists_no_follow(history_folder()));  // reading creates nothing

  write_file(history_folder() + "/broken.json", "{");
  r = orvc({"history"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "  No recorded removals.\n");
  EXPECT_EQ(r.err.rfind(
                "[history] skipped unreadable manifest " + history_folder() + "/broken.json: ", 0),
            0u)
      << r.err;
}

}  // namespace
}  // namespace orvc::testing
