#include "junk/last_activity.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "junk/untouched.hpp"
#include "support/temp_home.hpp"

namespace orvc::junk {
namespace {

using namespace orvc::testing;

constexpr int64_t kDay = 86400;
constexpr int64_t kOld = 1600000000;

class LastActivity : public ::testing::Test {
 protected:
  std::string at(const std::string& relative) const { return home_ / relative; }
  TempDir home_;
};

TEST_F(LastActivity, ProjectTimeLeavesJunkFoldersOutAndCountsEverythingElse) {
  const std::string app = at("Projects/app");
  write_file(app + "/Cargo.toml", "");
  write_file(app + "/src/main.rs", "");
  write_file(app + "/.git/HEAD", "");
  write_file(app + "/target/debug/app", "");
  write_file(app + "/node_modules/x/index.js", "");
  write_file(app + "/pkg/__pycache__/m.pyc", "");
  make_symlink(app + "/target/debug/app", app + "/latest");
  set_tree_mtime(app, kOld);
  // A fresh build and fresh caches do not make the project active.
  for (const char* junk :
       {"target/debug/app", "target", "node_modules/x/index.js", "pkg/__pycache__"}) {
    set_mtime(app + "/" + junk, kOld + 50 * kDay);
  }
  EXPECT_EQ(project_activity(app), kOld);

  set_mtime(app + "/src/main.rs", kOld + kDay);
  EXPECT_EQ(project_activity(app), kOld + kDay);
  set_mtime(app + "/.git", kOld + 2 * kDay);  // a folder's own time counts, hidden or not
  EXPECT_EQ(project_activity(app), kOld + 2 * kDay);
  set_mtime(app, kOld + 3 * kDay);
  EXPECT_EQ(project_activity(app), kOld + 3 * kDay);
  EXPECT_EQ(project_activity(at("Projects/gone")), std::nullopt);
}

TEST_F(LastActivity, ProjectPastTheEntryLimitCountsAsUnknown) {
  const std::string project = at("big");
  make_dirs(project + "/many");
  // The folder "many" is one entry; with its files the project holds exactly the limit.
  for (size_t i = 1; i < PROJECT_ACTIVITY_ENTRY_LIMIT; ++i) {
    const int fd = creat((project + "/many/f" + std::to_string(i)).c_str(), 0644);
    ASSERT_GE(fd, 0);
    close(fd);
  }
  set_tree_mtime(project, kOld);
  EXPECT_EQ(project_activity(project), kOld);
  write_file(project + "/one-more", "");
  EXPECT_EQ(project_activity(project), std::nullopt);
}

TEST_F(LastActivity, OwnTimeIsTheNewestAnywhereInside) {
  write_file(at("cache/a/b/node_modules/c/entry"), "");
  set_tree_mtime(at("cache"), kOld);
  EXPECT_EQ(own_activity(at("cache")), kOld);
  set_mtime(at("cache/a/b/node_modules/c/entry"), kOld + kDay);
  EXPECT_EQ(own_activity(at("cache")), kOld + kDay);
  EXPECT_EQ(own_activity(at("cache/a/b/node_modules/c/entry")), kOld + kDay);
  EXPECT_EQ(own_activity(at("missing")), std::nullopt);
}

TEST_F(LastActivity, ProjectFolderIsTheEnclosingGitWorkTreeBelowHome) {
  make_dirs(at(".git"));
  make_dirs(at("Projects/mono/.git"));
  const std::pair<std::string, std::string> cases[] = {
      {"Projects/mono/packages/a/node_modules", "Projects/mono"},
      {"Projects/mono/target", "Projects/mono"},
      {"Projects/plain/pkg/__pycache__", "Projects/plain/pkg"},
      {"Projects/plain/target", "Projects/plain"},
  };
  for (const auto& [item, project] : cases) {
    EXPECT_EQ(project_folder_of(at(item), home_.path()), at(project)) << item;
  }
}

TEST_F(LastActivity, NoteWalksEachProjectOnceAndOwnItemsThemselves) {
  write_file(at("Projects/app/Cargo.toml"), "");
  write_file(at("Projects/app/target/x"), "");
  write_file(at("Projects/app/node_modules/y"), "");
  write_file(at(".npm/_cacache/index"), "");
  set_tree_mtime(home_.path(), kOld);
  set_mtime(at(".npm/_cacache/index"), kOld + kDay);
  std::vector<JunkItem> items(3);
  items[0].path = at("Projects/app/target");
  items[1].path = at(".npm/_cacache");
  items[2].path = at("Projects/app/node_modules");
  items[0].in_project = items[2].in_project = true;
  note_last_activity(items, home_.path());
  EXPECT_EQ(items[0].last_activity, kOld);
  EXPECT_EQ(items[1].last_activity, kOld + kDay);
  EXPECT_EQ(items[2].last_activity, kOld);
}

TEST(Untouched, WholeDaysAndTheirExtremes) {
  EXPECT_EQ(untouched_days(kOld, kOld + 30 * kDay), 30u);
  EXPECT_EQ(untouched_days(kOld, kOld + 30 * kDay - 1), 29u);
  EXPECT_EQ(untouched_days(kOld + 1, kOld), 0u);
  EXPECT_EQ(untouched_days(INT64_MIN, INT64_MAX), UINT64_MAX / kDay);
}

TEST(Untouched, KeepsKnownOldItemsAndReordersWhatRemains) {
  const int64_t now = kOld + 100 * kDay;
  const auto item = [](std::string path, uint64_t size, std::optional<int64_t> last) {
    JunkItem made;
    made.path = std::move(path);
    made.size_bytes = size;
    made.last_activity = last;
    return made;
  };
  const auto category = [](std::string name, std::vector<JunkItem> items) {
    JunkCategory made;
    made.name = std::move(name);
    made.items = std::move(items);
    return made;
  };
  const std::vector<JunkCategory> categories = {
      category("Python", {item("unknown", 50, std::nullopt), item("30d", 5, now - 30 * kDay)}),
      category("Docker", {item("recent", 90, now - kDay), item("old", 5, kOld)}),
      category("Xcode", {item("future", 7, now + kDay), item("29d", 5, now - 30 * kDay + 1)}),
  };
  const auto kept = keep_untouched(categories, 30, now);
  ASSERT_EQ(kept.size(), 2u);
  // Equal totals: catalogue order, Docker before Python.
  EXPECT_EQ(kept[0].name, "Docker");
  EXPECT_EQ(kept[0].total_bytes, 5u);
  ASSERT_EQ(kept[0].items.size(), 1u);
  EXPECT_EQ(kept[0].items[0].path, "old");
  EXPECT_EQ(kept[1].name, "Python");
  ASSERT_EQ(kept[1].items.size(), 1u);
  EXPECT_EQ(kept[1].items[0].path, "30d");

  // Zero days keeps everything but the unknown, a future time included.
  const auto all_known = keep_untouched(categories, 0, now);
  ASSERT_EQ(all_known.size(), 3u);
  EXPECT_EQ(all_known[0].name, "Docker");
  EXPECT_EQ(all_known[0].total_bytes, 95u);
  EXPECT_EQ(all_known[1].name, "Xcode");
  EXPECT_EQ(all_known[1].total_bytes, 12u);
  EXPECT_EQ(all_known[2].total_bytes, 5u);
}

}  // namespace
}  // namespace orvc::junk
