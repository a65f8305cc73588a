// `orvc delete` end to end: the item a path text really names moves into the freedesktop Trash
// (links as links) where trash-cli sees it, and every path that may not go is refused.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "removal_support.hpp"

namespace orvc::testing {
namespace {

using ::testing::HasSubstr;

bool is_link(const std::string& path) {
  struct stat metadata {};
  return lstat(path.c_str(), &metadata) == 0 && S_ISLNK(metadata.st_mode);
}

TEST_F(DeleteTest, ItemsLandInTheTrashAsTheyAreWhereTrashCliSeesThem) {
  write_file(home / "notes.txt", "line one\nline two\n");
  write_file(home / "proj/src/main.c", "int main() {}\n");
  write_file(home / "real/plan.txt", "plan");
  make_symlink(home / "real", home / "alias");
  make_symlink(home / "real", home / "to-real");
  make_symlink(home / "nowhere", home / "dangling");
  const std::vector<std::string> paths = {"notes.txt", "proj", "alias/plan.txt", "to-real",
                                          "dangling"};
  const auto r = delete_paths(paths);
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, plan(paths) + kDone);
  EXPECT_EQ(r.err, "");
  EXPECT_FALSE(exists_no_follow(home / "notes.txt"));
  EXPECT_EQ(read_file(trash_files("proj/src/main.c")), "int main() {}\n");
  EXPECT_THAT(read_file(trash_info("notes.txt")),
              HasSubstr("[Trash Info]\nPath=" + home.path() + "/notes.txt\nDeletionDate="));
  // The record names the folder the item really left; links are never followed.
  EXPECT_THAT(read_file(trash_info("plan.txt")), HasSubstr("\nPath=" + home / "real/plan.txt\n"));
  EXPECT_THAT(manifests().at(0), HasSubstr("\"original_path\": \"" + home / "real/plan.txt\""));
  EXPECT_TRUE(is_link(trash_files("to-real")) && is_link(trash_files("dangling")));
  EXPECT_TRUE(exists_no_follow(home / "real") && exists_no_follow(home / "alias"));

  const auto listed = trash_cli("trash-list");
  EXPECT_THAT(listed.out, HasSubstr(" " + home.path() + "/notes.txt\n"));
  EXPECT_THAT(listed.out, HasSubstr(" " + home.path() + "/proj\n"));
  const auto restored = trash_cli("echo 0 | trash-restore " + home.path() + "/notes.txt");
  EXPECT_EQ(restored.exit_code, 0) << restored.out << restored.err;
  EXPECT_EQ(read_file(home / "notes.txt"), "line one\nline two\n");
  EXPECT_FALSE(exists_no_follow(trash_info("notes.txt")));
}

// Each path is judged as the absolute, resolved path of the item it names.
TEST_F(DeleteTest, RefusedPathsMoveNothing) {
  const std::string app = home / "Library/Application Support/com.orvanta.app";
  make_dirs(app);
  write_file(home / "victim.txt", "v");
  // Without a protected list the user protects nothing; the run leaves a manifest.
  ASSERT_EQ(delete_paths({"victim.txt"}).out, plan({"victim.txt"}) + kDone);
  const std::string list = "{\"paths\": [\"" + home.path() + "/Work\"]}";
  write_file(app + "/protected_paths.json", list);
  write_file(home / ".ssh/id_rsa", "key");
  write_file(home / "Documents/cv.pdf", "cv");
  write_file(home / "Work/plan.txt", "plan");
  write_file(home / "Dropbox/f.txt", "synced");
  make_dirs(home / "plain/sub");
  make_symlink(home / ".ssh", home / "w/l");
  make_symlink(home / "loop", home / "loop");
  const std::string parent = home.path().substr(0, home.path().rfind('/'));
  const std::string no_name = "target has no file name";
  const std::string cloud = home / "Dropbox/f.txt";
  const std::string via_link = home / "w/l/../.ssh/id_rsa";
  const std::string too_long = home / (std::string(5000, 'x') + "/f");
  struct Case {
    std::string folder, path, err;
  };
  const Case cases[] = {
      {home.path(), ".ssh", kSkipped},
      {home.path(), "Documents", kSkipped},
      {home / ".ssh", "id_rsa", kSkipped},
      {parent, home.path().substr(parent.size() + 1), kSkipped},
      {home.path(), "Work", kSkipped},
      {home / "Dropbox", "f.txt",
       could_not_remove(cloud, "Refusing to remove '" + cloud +
                                   "': it is inside a cloud sync folder (Dropbox, Google Drive or "
                                   "OneDrive). Deleting it here would also delete it from the "
                                   "cloud. Use the provider's Make Online-Only / Free Up Space "
                                   "option in Finder instead.")},
      // A path with no file name names no item.
      {home / ".ssh", ".", could_not_remove(home / ".ssh/.", no_name)},
      {home / ".ssh", "..", could_not_remove(home / ".ssh/..", no_name)},
      {home / "plain/sub", "..", could_not_remove(home / "plain/sub/..", no_name)},
      {home / "plain", "sub/.", could_not_remove(home / "plain/sub/.", no_name)},
      // The kernel follows a link before "..": so does the check.
      {home.path(), via_link,
       could_not_remove(via_link,
                        "Refusing to remove '" + via_link +
                            "': protected macOS system item (managed by the OS; removing it can "
                            "break system services). Skipped for safety.")},
      // Only "no such file" means missing.
      {home.path(), home / "loop/f",
       could_not_remove(home / "loop/f", "Too many levels of symbolic links (os error 40)")},
      {home.path(), too_long, could_not_remove(too_long, "File name too long (os error 36)")},
      {home.path(), app, kSkipped},
      {home.path(), app + "/", kSkipped},
      {home.path(), app + "/protected_paths.json", kSkipped},
      {home.path(), app + "/history", kSkipped},
      {home.path(), app + "/history/../protected_paths.json", kSkipped},
  };
  for (const Case& c : cases) {
    const auto r = orvc({"delete", c.path}, c.folder);
    EXPECT_EQ(r.exit_code, 1) << c.path;
    EXPECT_EQ(r.out, plan({c.path})) << c.path;
    EXPECT_EQ(r.err, c.err) << c.path;
  }
  EXPECT_EQ(read_file(home / ".ssh/id_rsa") + read_file(home / "Documents/cv.pdf") +
                read_file(home / "Work/plan.txt") + read_file(home / "Dropbox/f.txt"),
            "keycvplansynced");
  EXPECT_EQ(read_file(app + "/protected_paths.json"), list);
  EXPECT_TRUE(exists_no_follow(home / "plain/sub"));
  EXPECT_EQ(sorted_entries(trash_files()), std::vector<std::string>{"victim.txt"});
  EXPECT_EQ(manifests().size(), 1u);
}

}  // namespace
}  // namespace orvc::testing
