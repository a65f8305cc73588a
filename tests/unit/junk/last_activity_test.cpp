#include "junk/last_activity.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "junk/untouched.hpp"
#include "unit/fixture_tree.hpp"

namespace orvc::junk {
namespace {

using namespace orvc::testing;

constexpr int64_t kDay = 86400;
constexpr int64_t kOld = 1600000000;

TEST(LastActivity, ProjectFolderAndTimeLeaveJunkOutAndFollowNoLink) {
  const TempDir home;
  const std::string app = home / "Projects/app";
  make_tree(app, {"Cargo.toml", ".git/HEAD", "target/debug/app", "node_modules/x/i.js",
                  "pkg/__pycache__/m.pyc", "latest->target/debug/app"});
  set_tree_mtime(app, kOld);
  for (const char* junk : {"target/debug/app", "target", "node_modules/x/i.js", "pkg/__pycache__"})
    set_mtime(app + "/" + junk, kOld + 50 * kDay);
  EXPECT_EQ(project_folder_of(app + "/pkg/__pycache__", home.path()), app);
  EXPECT_EQ(project_activity(app), kOld);
  set_mtime(app + "/.git", kOld + kDay);  // a folder's own time counts, hidden or not
  EXPECT_EQ(project_activity(app), kOld + kDay);
}

TEST(LastActivity, ProjectPastTheEntryLimitIsUnknown) {
  const TempDir home;
  const std::string project = home / "big";
  make_dirs(project + "/many");
  // With the folder "many" itself, exactly the limit.
  for (size_t i = 1; i < kProjectActivityEntryLimit; ++i)
    ASSERT_EQ(close(creat((project + "/many/f" + std::to_string(i)).c_str(), 0644)), 0);
  set_tree_mtime(project, kOld);
  EXPECT_EQ(project_activity(project), kOld);
  write_file(project + "/one-more", "");
  EXPECT_EQ(project_activity(project), std::nullopt);
}

TEST(Untouched, KeepsKnownOldItemsAndReordersWhatRemains) {
  const int64_t now = kOld + 100 * kDay;
  const auto item = [](uint64_t size, std::optional<int64_t> last) {
    return JunkItem{"", "", "", size, false, false, false, last};
  };
  const std::vector<JunkCategory> categories = {
      {"Python", "", {item(50, std::nullopt), item(5, now - 30 * kDay)}, 0},
      {"Docker", "", {item(90, now - kDay), item(5, kOld)}, 0},
      {"Xcode", "", {item(7, now + kDay), item(5, now - 30 * kDay + 1)}, 0},
  };
  using Totals = std::vector<std::pair<std::string, uint64_t>>;
  const auto kept = [&](uint64_t days) {
    Totals out;
    for (const auto& c : keep_untouched(categories, days, now))
      out.emplace_back(c.name, c.total_bytes);
    return out;
  };
  // Equal totals go in catalogue order; zero days keeps all but the unknown, future times too.
  EXPECT_EQ(kept(30), (Totals{{"Docker", 5}, {"Python", 5}}));
  EXPECT_EQ(kept(0), (Totals{{"Docker", 95}, {"Xcode", 12}, {"Python", 5}}));
  EXPECT_EQ(kept(31), (Totals{{"Docker", 5}}));
  EXPECT_EQ(untouched_days(INT64_MIN, INT64_MAX), UINT64_MAX / kDay);
}

}  // namespace
}  // namespace orvc::junk
