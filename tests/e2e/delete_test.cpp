// `orvc delete` end to end: the freedesktop Trash in a temporary home, trash-cli's view of it,
// and a run in which one item fails.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

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
