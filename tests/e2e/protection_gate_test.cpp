// What guards every removal run: a protected list that exists but is not valid (or is no file)
// stops it before anything moves, the application's own folder is refused, and a relative HOME is
// no HOME.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "e2e/bounded_run.hpp"
#include "e2e/delete_support.hpp"
#include "support/run_process.hpp"
#include "support/temp_home.hpp"

namespace orvc::testing {
namespace {

void place_text(const std::string& path, const std::string& text) {
  write_file(path, text);
}

struct BrokenList {
  const char* cause;
  std::function<void(const std::string&)> place;
  const char* reason;
};

// What the list says is checked in the unit tests; here, that each way of being broken stops
// every removal run at once.
const BrokenList kBrokenLists[] = {
    {"number among the strings",
     [](const std::string& path) { place_text(path, R"({"paths": ["/keep", 1]})"); },
     "invalid type: expected a string"},
    {"larger than 16 MiB",
     [](const std::string& path) {
       place_text(path, R"({"paths": [)" + std::string(16 << 20, ' ') + "]}");
     },
     "larger than 16 MiB"},
    {"FIFO", [](const std::string& path) { ASSERT_EQ(mkfifo(path.c_str(), 0644), 0); },
     "not a regular file"},
    {"link to /dev/zero", [](const std::string& path) { make_symlink("/dev/zero", path); },
     "not a regular file"},
};

class BrokenProtectedList : public DeleteTest {
 protected:
  std::string app_folder() const { return home / "Library/Application Support/com.orvanta.app"; }
  std::string list_file() const { return app_folder() + "/protected_paths.json"; }

  // Something every removal command would move: a file, a large file and a safe junk item.
  void make_fixture() {
    write_file(home / "victim.txt", "v");
    write_sized_file(home / "big/large.bin", 2 << 20);
    write_sized_file(home / "big/twin.bin", 2 << 20);
    write_file(home / ".npm/_cacache/index", "i");
  }

  void expect_nothing_moved() {
    EXPECT_EQ(read_file(home / "victim.txt"), "v");
    EXPECT_TRUE(exists_no_follow(home / "big/large.bin"));
    EXPECT_TRUE(exists_no_follow(home / ".npm/_cacache/index"));
    EXPECT_FALSE(exists_no_follow(home / ".local/share/Trash"));
    EXPECT_FALSE(exists_no_follow(history_of(home.path())));
  }
};

TEST_F(BrokenProtectedList, EveryRemovalRunStopsWithOneLineAndMovesNothing) {
  make_fixture();
  make_dirs(app_folder());
  for (const BrokenList& broken : kBrokenLists) {
    SCOPED_TRACE(broken.cause);
    unlink(list_file().c_str());
    broken.place(list_file());
    const std::string refusal = "Refusing to move anything: the protected paths file '" +
                                list_file() + "' is not valid: " + broken.reason + "\n";
    for (const std::vector<std::string>& command : std::vector<std::vector<std::string>>{
             {"delete", "victim.txt"},
             {"rm", home / "victim.txt"},
             {"large-files", "--path", home / "big", "--threshold", "1", "--apply"},
             {"dev-junk", "--apply"}}) {
      SCOPED_TRACE(command[0]);
      const auto run = run_orvc_bounded(command, home.path(), {{"PATH", home / "no-bin"}});
      EXPECT_LT(run.elapsed, kPromptly) << seconds(run.elapsed) << " s";
      EXPECT_EQ(run.result.exit_code, 1);
      EXPECT_EQ(run.result.out, "");
      EXPECT_EQ(run.result.err, refusal);
      expect_nothing_moved();
    }
  }
}

TEST_F(BrokenProtectedList, ReportsWithoutRemovalStillRun) {
  make_fixture();
  kBrokenLists[0].place(list_file());
  for (const std::vector<std::string>& command : std::vector<std::vector<std::string>>{
           {"scan", "--path", home / "big"},
           {"duplicates", "--path", home / "big"},
           {"large-files", "--path", home / "big", "--threshold", "1"},
           {"dev-junk"},
           {"diff"}}) {
    SCOPED_TRACE(command[0]);
    const auto r = orvc(command);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.err.find("Refusing"), std::string::npos) << r.err;
    EXPECT_NE(r.out, "");
  }
  expect_nothing_moved();
}

TEST_F(BrokenProtectedList, MissingListStillMeansNoUserEntries) {
  make_dirs(app_folder());
  write_file(home / "victim.txt", "v");
  const auto r = orvc({"delete", "victim.txt"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, plan({"victim.txt"}) + kDone);
  EXPECT_EQ(read_file(trash_files("victim.txt")), "v");
}

using ApplicationFolder = DeleteTest;

TEST_F(ApplicationFolder, ItAndEverythingInItAreRefused) {
  const std::string app = home / "Library/Application Support/com.orvanta.app";
  write_file(app + "/protected_paths.json", R"({"paths": []})");
  write_file(home / "victim.txt", "v");
  ASSERT_EQ(delete_paths({"victim.txt"}).exit_code, 0);  // leaves a manifest in the history
  ASSERT_EQ(manifests().size(), 1u);
  for (const std::string& inside : {app, app + "/protected_paths.json", app + "/history", app + "/",
                                    app + "/history/../protected_paths.json"}) {
    SCOPED_TRACE(inside);
    const auto r = delete_paths({inside});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.out, plan({inside}));
    EXPECT_EQ(r.err,
              "  Some items could not be moved: 1 item(s) were skipped: protected macOS system "
              "items that no app may remove (system-managed — safe to leave).\n");
  }
  EXPECT_EQ(read_file(app + "/protected_paths.json"), R"({"paths": []})");
  EXPECT_EQ(manifests().size(), 1u);
  EXPECT_EQ(sorted_entries(trash_files()), std::vector<std::string>{"victim.txt"});
}

// Without HOME the move fails and nothing is created; a relative HOME would put the Trash and the
// history under the working folder, so it counts as none.
TEST(RelativeHome, CountsAsNoHome) {
  const TempDir work;
  write_file(work / "f.txt", "f");
  make_dirs(work / "no-bin");
  for (const std::optional<std::string>& home :
       {std::optional<std::string>(), std::optional<std::string>("home"),
        std::optional<std::string>("./home"), std::optional<std::string>(".")}) {
    SCOPED_TRACE(home.value_or("(unset)"));
    ProcessOptions options;
    options.env = {{"NO_COLOR", "1"}, {"PATH", work / "no-bin"}};
    if (home) options.env["HOME"] = *home;
    options.working_dir = work.path();
    const auto deleted = run_program({ORVC_BINARY, "delete", "f.txt"}, options);
    EXPECT_EQ(deleted.exit_code, 1);
    EXPECT_EQ(deleted.err,
              "[history] failed to write pending session: HOME not set\n"
              "  Some items could not be moved: Cleaned with 1 issue(s). 1 item(s) could not be "
              "removed: '" +
                  work.path() +
                  "/f.txt': HOME is not set (Finder fallback also failed: Error during a "
                  "`trash` operation: cannot run gio: No such file or directory (os error 2))\n");
    const auto large = run_program({ORVC_BINARY, "large-files"}, options);
    EXPECT_EQ(large.exit_code, 1);
    EXPECT_EQ(large.err, "Large-files scan failed: HOME environment variable is not set\n");
    EXPECT_EQ(sorted_entries(work.path()), (std::vector<std::string>{"f.txt", "no-bin"}));
  }
}

}  // namespace
}  // namespace orvc::testing
