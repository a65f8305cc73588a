// `orvc delete` end to end: the item a path text really names moves into the freedesktop Trash
// (links as links) where trash-cli sees it, and every path that may not go is refused.
#include <gmock/gmock.h>

#include "removal_support.hpp"

namespace orvc::testing {
namespace {

using ::testing::HasSubstr;

// Each path is judged as the absolute, resolved path of the item it names.
TEST_F(DeleteTest, ItemsLandInTheTrashAsTheyAreAndRefusedPathsMoveNothing) {
  for (const char* name : {"notes.txt", "proj/src/main.c", "real/plan.txt"})
    write_file(home / name, name);
  for (const char* link : {"alias", "to-real"}) make_symlink(home / "real", home / link);
  make_symlink(home / "nowhere", home / "dangling");
  // Without a protected list the user protects nothing; the run leaves a manifest.
  const std::vector<std::string> paths = {"notes.txt", "proj", "alias/plan.txt", "to-real",
                                          "dangling"};
  const auto r = delete_paths(paths);
  EXPECT_EQ(std::tie(r.exit_code, r.out, r.err), std::tuple(0, plan(paths) + kDone, ""));
  EXPECT_EQ(read_file(trash_files("proj/src/main.c")), "proj/src/main.c");
  // The record names the folder the item really left; links are never followed.
  EXPECT_THAT(read_file(trash_info("plan.txt")), HasSubstr("\nPath=" + home / "real/plan.txt\n"));
  EXPECT_THAT(manifests().at(0), HasSubstr("\"original_path\": \"" + home / "real/plan.txt\""));
  EXPECT_TRUE(std::filesystem::is_symlink(trash_files("to-real")) &&
              std::filesystem::is_symlink(trash_files("dangling")));
  EXPECT_TRUE(exists_no_follow(home / "real") && exists_no_follow(home / "alias"));
  const auto listed = trash_cli("trash-list");
  EXPECT_THAT(listed.out, HasSubstr(" " + home.path() + "/notes.txt\n"));
  EXPECT_THAT(listed.out, HasSubstr(" " + home.path() + "/proj\n"));
  const auto restored = trash_cli("echo 0 | trash-restore " + home.path() + "/notes.txt");
  EXPECT_EQ(restored.exit_code, 0) << restored.out << restored.err;
  EXPECT_EQ(read_file(home / "notes.txt"), "notes.txt");
  EXPECT_FALSE(exists_no_follow(trash_info("notes.txt")));

  const std::string app = home / "Library/Application Support/com.orvanta.app";
  write_file(app + "/protected_paths.json", "{\"paths\": [\"" + home.path() + "/Work\"]}");
  for (const char* name : {".ssh/id_rsa", "Documents/cv.pdf", "Work/plan.txt", "Dropbox/f.txt"})
    write_file(home / name, name);
  make_dirs(home / "plain/sub");
  make_symlink(home / ".ssh", home / "w/l");
  make_symlink(home / "loop", home / "loop");
  // A refused run may write in the history folder but leaves no entry there.
  set_mtime(history_folder(), 0);
  const std::string before = snapshot(home.path());
  const auto refused = [&](const std::string& folder, const std::string& path,
                           const std::string& err) {
    const auto r = orvc({"delete", path}, folder);
    EXPECT_EQ(std::tie(r.exit_code, r.out, r.err), std::tuple(1, plan({path}), err)) << path;
  };
  for (const std::string& path : std::vector<std::string>{
           ".ssh", "Documents", "Work", app, app + "/", app + "/protected_paths.json",
           app + "/history", app + "/history/../protected_paths.json"})
    refused(home.path(), path, kSkipped);
  refused(home / "..", std::filesystem::path(home.path()).filename(), kSkipped);
  refused(home / ".ssh", "id_rsa", kSkipped);
  const std::string cloud = home / "Dropbox/f.txt";
  refused(home / "Dropbox", "f.txt",
          could_not_remove(cloud, "Refusing to remove '" + cloud +
                                      "': it is inside a cloud sync folder (Dropbox, Google Drive "
                                      "or OneDrive). Deleting it here would also delete it from "
                                      "the cloud. Use the provider's Make Online-Only / Free Up "
                                      "Space option in Finder instead."));
  // A path with no file name names no item.
  for (const auto& [folder, path] :
       {std::pair{".ssh", "."}, {".ssh", ".."}, {"plain/sub", ".."}, {"plain", "sub/."}}) {
    refused(home / folder, path,
            could_not_remove(home / folder + "/" + path, "target has no file name"));
  }
  // The kernel follows a link before "..": so does the check.
  const std::string via_link = home / "w/l/../.ssh/id_rsa";
  refused(home.path(), via_link,
          could_not_remove(via_link,
                           "Refusing to remove '" + via_link +
                               "': protected macOS system item (managed by the OS; removing it "
                               "can break system services). Skipped for safety."));
  // Only "no such file" means missing.
  refused(home.path(), home / "loop/f",
          could_not_remove(home / "loop/f", "Too many levels of symbolic links (os error 40)"));
  const std::string too_long = home / (std::string(5000, 'x') + "/f");
  refused(home.path(), too_long, could_not_remove(too_long, "File name too long (os error 36)"));
  set_mtime(history_folder(), 0);
  EXPECT_EQ(snapshot(home.path()), before);
}

}  // namespace
}  // namespace orvc::testing
