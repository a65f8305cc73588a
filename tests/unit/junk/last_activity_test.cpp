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

class LastActivity : public ::testing::Test {
 protected:
  TempDir home_;
};

TEST_F(LastActivity, ProjectFolderAndTimeLeaveJunkOutAndFollowNoLink) {
  const std::string app = home_ / "Projects/app";
  make_tree(app, {"Cargo.toml", ".git/HEAD", "target/debug/app", "node_modules/x/i.js",
                  "pkg/__pycache__/m.pyc", "latest->target/debug/app"});
  set_tree_mtime(app, kOld);
  for (const char* junk : {"target/debug/app", "target", "node_modules/x/i.js", "pkg/__pycache__"})
    set_mtime(app + "/" + junk, kOld + 50 * kDay);
  EXPECT_EQ(project_folder_of(app + "/pkg/__pycache__", home_.path()), app);
  EXPECT_EQ(project_activity(app), kOld);
  set_mtime(app + "/.git", kOld + kDay);  // a folder's own time counts, hidden or not
  EXPECT_EQ(project_activity(app), kOld + kDay);
}

TEST_F(LastActivity, ProjectPastTheEntryLimitIsUnknown) {
  const std::string project = home_ / "big";
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
  const auto category = [](std::string name,
                           std::vector<std::pair<uint64_t, std::optional<int64_t>>> items) {
    JunkCategory made{std::move(name), "", {}, 0};
    for (const auto& [size, last] : items)
      made.items.push_back({"", "", "", size, false, false, false, last});
    return made;
  };
  const std::vector<JunkCategory> categories = {
      category("Python", {{50, std::nullopt}, {5, now - 30 * kDay}}),
      category("Docker", {{90, now - kDay}, {5, kOld}}),
      category("Xcode", {{7, now + kDay}, {5, now - 30 * kDay + 1}}),
  };
  using Totals = std::vector<std::pair<std::string, uint64_t>>;
  const auto totals = [](const std::vector<JunkCategory>& kept) {
    Totals out;
    for (const auto& c : kept) out.emplace_back(c.name, c.total_bytes);
    return out;
  };
  // Equal totals go in catalogue order; zero days keeps all but the unknown, future times too.
  EXPECT_EQ(totals(keep_untouched(categories, 30, now)), (Totals{{"Docker", 5}, {"Python", 5}}));
  EXPECT_EQ(totals(keep_untouched(categories, 0, now)),
            (Totals{{"Docker", 95}, {"Xcode", 12}, {"Python", 5}}));
  EXPECT_EQ(totals(keep_untouched(categories, 31, now)), (Totals{{"Docker", 5}}));
  EXPECT_EQ(untouched_days(INT64_MIN, INT64_MAX), UINT64_MAX / kDay);
}

}  // namespace
}  // namespace orvc::junk
