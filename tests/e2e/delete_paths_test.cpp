// Removal judges the item it really moves, whatever path text names it: relative names, "..",
// links on the way, dangling links, paths that cannot be examined.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "delete_support.hpp"

namespace orvc::testing {
namespace {

using ::testing::HasSubstr;

using DeletePathsTest = DeleteTest;

// Relative texts are made absolute before any rule sees them, so they meet the same refusals
// as the absolute forms.
TEST_F(DeletePathsTest, RelativeNamesMeetTheRulesOfTheirAbsoluteForms) {
  write_file(home / ".ssh/id_rsa", "key");
  write_file(home / "Documents/cv.pdf", "cv");
  write_file(home / "Work/plan.txt", "plan");
  write_file(home / "Library/Application Support/com.orvanta.app/protected_paths.json",
             "{\"paths\": [\"" + home.path() + "/Work\"]}");
  const std::string home_name = home.path().substr(home.path().rfind('/') + 1);
  const std::string home_parent = home.path().substr(0, home.path().rfind('/'));
  struct Case {
    std::string folder;
    std::string path;
  };
  for (const Case& c : std::vector<Case>{{home.path(), ".ssh"},
                                         {home.path(), "Documents"},
                                         {home / ".ssh", "id_rsa"},
                                         {home / ".ssh", "."},
                                         {home_parent, home_name},
                                         {home.path(), "Work"}}) {
    const auto r = orvc({"delete", c.path}, c.folder);
    EXPECT_EQ(r.exit_code, 1) << c.path << "\n" << r.out << r.err;
    EXPECT_EQ(r.out, plan({c.path})) << c.path;
  }
  EXPECT_EQ(read_file(home / ".ssh/id_rsa"), "key");
  EXPECT_EQ(read_file(home / "Documents/cv.pdf"), "cv");
  EXPECT_EQ(read_file(home / "Work/plan.txt"), "plan");
  EXPECT_TRUE(sorted_entries(trash_files()).empty());
}

TEST_F(DeletePathsTest, RelativeNameInsideACloudFolderIsRefused) {
  write_file(home / "Dropbox/f.txt", "synced");
  const auto r = orvc({"delete", "f.txt"}, home / "Dropbox");
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_THAT(r.err, HasSubstr("Refusing to remove '" + home.path() +
                               "/Dropbox/f.txt': it is inside a cloud sync folder"));
  EXPECT_EQ(read_file(home / "Dropbox/f.txt"), "synced");
}

TEST_F(DeletePathsTest, LargeFilesApplyFromInsideAProtectedFolderMovesNothing) {
  write_sized_file(home / ".ssh/big_key", 2 << 20);
  const auto r = orvc({"large-files", "--path", ".", "--threshold", "1", "--age", "0", "--apply"},
                      home / ".ssh");
  EXPECT_EQ(r.exit_code, 1) << r.out << r.err;
  EXPECT_EQ(r.err,
            "  Some items could not be moved: 1 item(s) were skipped: protected macOS system items "
            "that no app may remove (system-managed — safe to leave).\n");
  EXPECT_TRUE(exists_no_follow(home / ".ssh/big_key"));
  EXPECT_TRUE(sorted_entries(trash_files()).empty());
}

// A path with no file name names no item: it is refused, never handed to anything else.
TEST_F(DeletePathsTest, PathsEndingInDotsNameNoItem) {
  write_file(home / ".ssh/id_rsa", "key");
  make_dirs(home / "plain/sub");
  for (const auto& [folder, path] : std::vector<std::pair<std::string, std::string>>{
           {home / ".ssh", ".."}, {home / "plain/sub", ".."}, {home / "plain", "sub/."}}) {
    const auto r = orvc({"delete", path}, folder);
    EXPECT_EQ(r.exit_code, 1) << path;
    EXPECT_EQ(r.err,
              "  Some items could not be moved: Cleaned with 1 issue(s). 1 item(s) could "
              "not be removed: '" +
                  folder + "/" + path + "': target has no file name\n");
  }
  EXPECT_EQ(read_file(home / ".ssh/id_rsa"), "key");
  EXPECT_TRUE(exists_no_follow(home / "plain/sub"));
  EXPECT_TRUE(sorted_entries(trash_files()).empty());
  EXPECT_EQ(manifests(), std::vector<std::string>{});
}

// The kernel follows a link before "..": so does the check.
TEST_F(DeletePathsTest, LinkFollowedByDotDotIsJudgedWhereItLeads) {
  write_file(home / ".ssh/id_rsa", "key");
  make_dirs(home / "w");
  make_symlink(home / ".ssh", home / "w/l");
  const std::string path = home / "w/l/../.ssh/id_rsa";
  const auto r = delete_paths({path});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.err,
            "  Some items could not be moved: Cleaned with 1 issue(s). 1 item(s) could "
            "not be removed: '" +
                path + "': Refusing to remove '" + path +
                "': protected macOS system item (managed by the OS; removing it can break "
                "system services). Skipped for safety.\n");
  EXPECT_EQ(read_file(home / ".ssh/id_rsa"), "key");
}

TEST_F(DeletePathsTest, TheRecordNamesTheFolderTheItemReallyLeft) {
  write_file(home / "real/notes.txt", "notes");
  make_symlink(home / "real", home / "alias");
  const auto r = delete_paths({home / "alias/notes.txt"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_THAT(read_file(trash_info("notes.txt")),
              HasSubstr("Path=" + home.path() + "/real/notes.txt\n"));
  EXPECT_THAT(manifests().at(0),
              HasSubstr("\"original_path\": \"" + home.path() + "/real/notes.txt\""));
  EXPECT_TRUE(exists_no_follow(home / "alias"));
}

// The item itself is never followed: a link is trashed as the link.
TEST_F(DeletePathsTest, LinksAreTrashedAsLinks) {
  make_symlink(home / "nowhere", home / "dangling");
  write_file(home / "proj/main.c", "int main;");
  make_symlink(home / "proj", home / "to-proj");
  const auto r = delete_paths({"dangling", "to-proj"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, plan({"dangling", "to-proj"}) + kDone);
  EXPECT_FALSE(exists_no_follow(home / "dangling"));
  EXPECT_FALSE(exists_no_follow(home / "to-proj"));
  struct stat metadata {};
  ASSERT_EQ(lstat(trash_files("dangling").c_str(), &metadata), 0);
  EXPECT_TRUE(S_ISLNK(metadata.st_mode));
  ASSERT_EQ(lstat(trash_files("to-proj").c_str(), &metadata), 0);
  EXPECT_TRUE(S_ISLNK(metadata.st_mode));
  EXPECT_EQ(read_file(home / "proj/main.c"), "int main;");
}

// Only "no such file" means missing; any other reason a path cannot be examined fails the run.
TEST_F(DeletePathsTest, PathsThatCannotBeExaminedFailTheRun) {
  make_symlink(home / "loop", home / "loop");
  const std::string too_long = home / (std::string(5000, 'x') + "/f");
  for (const auto& [path, reason] : std::vector<std::pair<std::string, std::string>>{
           {home / "loop/f", "Too many levels of symbolic links (os error 40)"},
           {too_long, "File name too long (os error 36)"}}) {
    const auto r = delete_paths({path});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.err,
              "  Some items could not be moved: Cleaned with 1 issue(s). 1 item(s) could "
              "not be removed: '" +
                  path + "': " + reason + "\n");
  }
}

TEST_F(DeletePathsTest, TotalsAfterApplyCountOnlyWhatMoved) {
  write_sized_file(home / "big/kept.bin", 3 << 20);
  write_sized_file(home / "big/moved.bin", 2 << 20);
  write_file(home / "Library/Application Support/com.orvanta.app/protected_paths.json",
             "{\"paths\": [\"" + home.path() + "/big/kept.bin\"]}");
  const auto r =
      orvc({"large-files", "--path", home / "big", "--threshold", "1", "--age", "0", "--apply"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_THAT(r.out, HasSubstr("2 files, 5.0 MB total\n"));
  EXPECT_THAT(r.out, HasSubstr("  Moved 2.0 MB to Trash (recoverable).\n"));
  EXPECT_TRUE(exists_no_follow(home / "big/kept.bin"));
}

}  // namespace
}  // namespace orvc::testing
