// Stored files are hostile. A protected list that exists but is not valid (or is no file) stops
// every removal run before anything moves; a FIFO or a link to /dev/zero in the place of a
// history manifest, a ".gitignore" or the Dropbox settings is passed over at once. A relative
// HOME is no HOME.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>
#include <tuple>

#include "removal_support.hpp"

namespace orvc::testing {
namespace {

using Place = std::function<void(const std::string&)>;

const Place kFifo = [](const std::string& path) { ASSERT_EQ(mkfifo(path.c_str(), 0644), 0); };
const Place kZeroLink = [](const std::string& path) { make_symlink("/dev/zero", path); };
Place text(const std::string& content) {
  return [content](const std::string& path) { write_file(path, content); };
}

// A run that blocks is killed after 20 s, so a hang fails its test instead of stalling the suite.
ProcessResult run_bounded(const std::vector<std::string>& args, const std::string& home) {
  std::vector<std::string> argv = orvc_command(args);
  argv.insert(argv.begin(), {"/usr/bin/timeout", "-s", "KILL", "20"});
  return run_program(argv, orvc_options(home, {{"PATH", home + "/no-bin"}}));
}

// What the list says is checked in the unit tests; here, that each way of being broken stops
// every removal run at once, while the reports still run.
TEST_F(DeleteTest, BrokenProtectedListStopsEveryRemovalRun) {
  const std::string app = home / "Library/Application Support/com.orvanta.app",
                    list = app + "/protected_paths.json";
  make_dirs(app);
  write_file(home / "victim.txt", "v");
  write_sized_file(home / "big/large.bin", 2 << 20);
  write_sized_file(home / "big/twin.bin", 2 << 20);
  write_file(home / ".npm/_cacache/index", "i");
  const std::tuple<const char*, Place, const char*> broken_lists[] = {
      {"larger than 16 MiB", text(R"({"paths": [)" + std::string(16 << 20, ' ') + "]}"),
       "larger than 16 MiB"},
      {"FIFO", kFifo, "not a regular file"},
      {"link to /dev/zero", kZeroLink, "not a regular file"},
  };
  // Reports still run; removals refuse.
  const std::pair<std::vector<std::string>, bool> commands[] = {
      {{"delete", "victim.txt"}, false},
      {{"rm", home / "victim.txt"}, false},
      {{"large-files", "--path", home / "big", "--threshold", "1", "--apply"}, false},
      {{"dev-junk", "--apply"}, false},
      {{"scan", "--path", home / "big"}, true},
      {{"duplicates", "--path", home / "big"}, true},
      {{"large-files", "--path", home / "big", "--threshold", "1"}, true},
      {{"dev-junk"}, true},
      {{"diff"}, true}};
  for (const auto& [cause, place, reason] : broken_lists) {
    SCOPED_TRACE(cause);
    unlink(list.c_str());
    place(list);
    const std::string before = snapshot(home.path());
    for (const auto& [command, is_report] : commands) {
      SCOPED_TRACE(command[0]);
      const auto r = run_bounded(command, home.path());
      if (is_report) {
        EXPECT_EQ(r.exit_code, 0) << r.err;
        EXPECT_EQ(r.err.find("Refusing"), std::string::npos) << r.err;
        EXPECT_NE(r.out, "");
      } else {
        EXPECT_EQ(std::tie(r.exit_code, r.out, r.err),
                  std::tuple(1, "",
                             "Refusing to move anything: the protected paths file '" + list +
                                 "' is not valid: " + reason + "\n"));
      }
      EXPECT_EQ(snapshot(home.path()), before);
    }
  }
}

// Strangers in the history folder, in place of the Dropbox settings and of a ".gitignore" (read
// by one loader for the duplicates' crawl and the junk scan) neither stop nor hang a move or a
// search, and are left where they are.
TEST(StoredFiles, EntriesThatAreNoFilesArePassedOver) {
  for (const auto& [kind, place] : {std::pair{"FIFO", kFifo}, std::pair{"/dev/zero", kZeroLink}}) {
    SCOPED_TRACE(kind);
    const TempDir home;
    const std::string repo = home / "tree/repo";
    const std::string strangers[] = {history_of(home.path(), "evil.json"),
                                     home / ".dropbox/info.json", repo + "/.gitignore"};
    for (const std::string& stranger : strangers) {
      make_dirs(stranger.substr(0, stranger.rfind('/')));
      place(stranger);
    }
    for (const std::string& folder : {repo + "/.git", home / "no-bin"}) make_dirs(folder);
    for (const char* name : {"/a.bin", "/b.bin"}) write_sized_file(repo + name, 6000);
    set_mtime(repo + "/a.bin", 1000);
    write_file(home / "victim.txt", "v");

    const auto moved = run_bounded({"delete", "victim.txt"}, home.path());
    EXPECT_EQ(std::tie(moved.exit_code, moved.out, moved.err),
              std::tuple(0, plan({"victim.txt"}) + kDone, ""));
    EXPECT_EQ(read_file(trash_files_of(home.path(), "victim.txt")), "v");
    for (const std::string& stranger : strangers) EXPECT_TRUE(exists_no_follow(stranger));

    const auto found = run_bounded({"duplicates", "--path", home / "tree"}, home.path());
    EXPECT_EQ(std::tie(found.exit_code, found.out),
              std::tuple(0, at_root("Finding duplicates under @\n\n  2 × 5.9 KB  (reclaim 5.9 KB)\n"
                                    "    keep @/repo/a.bin [git-tracked]\n    dup   @/repo/b.bin "
                                    "[git-tracked — review before deleting]\n\n  1 duplicate "
                                    "groups, 5.9 KB reclaimable\n",
                                    home / "tree")));
  }
}

// Without HOME the move fails and nothing is created, and the junk scan fails before it starts
// pgrep; a relative HOME would put the Trash and the history under the working folder, so it
// counts as none.
TEST(RelativeHome, CountsAsNoHome) {
  const TempDir work;
  write_file(work / "f.txt", "f");
  // A builtin leaves the mark: PATH holds nothing else.
  write_file(work / "no-bin/pgrep", "#!/bin/sh\n: >\"$0.called\"\necho 1\n");
  ASSERT_EQ(chmod((work / "no-bin/pgrep").c_str(), 0755), 0);
  const std::tuple<std::vector<std::string>, std::string, std::string> runs[] = {
      {{"delete", "f.txt"},
       plan({"f.txt"}),
       "[history] failed to write pending session: HOME not set\n" +
           could_not_remove(work / "f.txt",
                            "HOME is not set (Finder fallback also failed: Error during a `trash` "
                            "operation: cannot run gio: No such file or directory (os error 2))")},
      {{"large-files"},
       "Finding large files (≥ 100 MB, ≥0d old ) under home folder\n",
       "Large-files scan failed: HOME environment variable is not set\n"},
      {{"dev-junk"}, "", "Developer junk scan failed: HOME environment variable is not set\n"},
  };
  for (const char* home : {static_cast<const char*>(nullptr), "home", "./home", "."}) {
    SCOPED_TRACE(home ? home : "(unset)");
    ProcessOptions options = orvc_options(work.path(), {{"PATH", work / "no-bin"}});
    for (const char* name : {"XDG_DATA_HOME", "HOME"}) options.env.erase(name);
    if (home) options.env["HOME"] = home;
    for (const auto& [args, out, err] : runs) {
      const auto r = run_program(orvc_command(args), options);
      EXPECT_EQ(std::tie(r.exit_code, r.out, r.err), std::tuple(1, out, err));
    }
    EXPECT_EQ(sorted_entries(work.path()), (std::vector<std::string>{"f.txt", "no-bin"}));
    EXPECT_EQ(sorted_entries(work / "no-bin"), std::vector<std::string>{"pgrep"});
  }
}

}  // namespace
}  // namespace orvc::testing
