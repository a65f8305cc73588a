// `orvc delete` end to end: the freedesktop Trash in a temporary home, trash-cli's view of it,
// name collisions, refusals and failures.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "delete_support.hpp"

namespace orvc::testing {
namespace {

using ::testing::HasSubstr;

TEST_F(DeleteTest, FileAndFolderLandInTheTrashWhereTrashCliSeesThem) {
  write_file(home / "notes.txt", "line one\nline two\n");
  write_file(home / "proj/src/main.c", "int main() {}\n");
  const auto r = delete_paths({"notes.txt", "proj"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, plan({"notes.txt", "proj"}) + kDone);
  EXPECT_EQ(r.err, "");
  EXPECT_FALSE(exists_no_follow(home / "notes.txt"));
  EXPECT_EQ(read_file(trash_files("proj/src/main.c")), "int main() {}\n");
  EXPECT_THAT(read_file(trash_info("notes.txt")),
              HasSubstr("[Trash Info]\nPath=" + home.path() + "/notes.txt\nDeletionDate="));

  const auto listed = trash_cli("trash-list");
  EXPECT_THAT(listed.out, HasSubstr(" " + home.path() + "/notes.txt\n"));
  EXPECT_THAT(listed.out, HasSubstr(" " + home.path() + "/proj\n"));

  const auto restored = trash_cli("echo 0 | trash-restore " + home.path() + "/notes.txt");
  EXPECT_EQ(restored.exit_code, 0) << restored.out << restored.err;
  EXPECT_EQ(read_file(home / "notes.txt"), "line one\nline two\n");
  EXPECT_FALSE(exists_no_follow(trash_info("notes.txt")));
}

TEST_F(DeleteTest, TwoHundredFoldersOfTheSameNameAllArrive) {
  std::vector<std::string> paths;
  for (int i = 0; i < 200; ++i) {
    const std::string folder = home / ("projects/p" + std::to_string(i) + "/build");
    write_file(folder + "/out.o", std::to_string(i));
    paths.push_back(folder);
  }
  const auto r = delete_paths(paths);
  ASSERT_EQ(r.exit_code, 0) << r.err;
  std::set<std::string> contents;
  for (int n = 1; n <= 200; ++n) {
    const std::string name = n == 1 ? "build" : "build " + std::to_string(n);
    contents.insert(read_file(trash_files(name + "/out.o")));
    EXPECT_TRUE(exists_no_follow(trash_info(name))) << name;
  }
  EXPECT_EQ(contents.size(), 200u);
  EXPECT_FALSE(exists_no_follow(trash_files("build 201")));
  const auto listed = trash_cli("trash-list");
  EXPECT_EQ(std::count(listed.out.begin(), listed.out.end(), '\n'), 200);
}

TEST_F(DeleteTest, ProtectedPathIsRefusedAfterThePlan) {
  write_file(home / ".ssh/id_rsa", "secret");
  const auto r = delete_paths({home / ".ssh/id_rsa"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.out, plan({home / ".ssh/id_rsa"}));
  EXPECT_EQ(r.err,
            "  Some items could not be moved: 1 item(s) were skipped: protected macOS system items "
            "that no app may remove (system-managed — safe to leave).\n");
  EXPECT_EQ(read_file(home / ".ssh/id_rsa"), "secret");
  EXPECT_EQ(manifests(), std::vector<std::string>{});
}

TEST_F(DeleteTest, MixedOutcomeReportsEveryFailure) {
  write_file(home / "ok.txt", "ok");
  make_dirs(home / "d");
  const auto r = delete_paths({"ok.txt", "d/."});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.out, plan({"ok.txt", "d/."}));
  EXPECT_EQ(r.err,
            "  Some items could not be moved: Cleaned with 1 issue(s). 1 item(s) could not be "
            "removed: '" +
                home.path() + "/d/.': target has no file name\n");
  EXPECT_EQ(read_file(trash_files("ok.txt")), "ok");
  EXPECT_FALSE(exists_no_follow(trash_files("d")));
  const auto sessions = manifests();
  ASSERT_EQ(sessions.size(), 1u);
  EXPECT_THAT(sessions[0], HasSubstr("\"original_path\": \"" + home.path() + "/ok.txt\""));
  EXPECT_THAT(sessions[0], ::testing::Not(HasSubstr("/d/.\"")));
}

}  // namespace
}  // namespace orvc::testing
