// Files the program reads that are not files: a FIFO or a link to /dev/zero in the place of a
// history manifest, a ".gitignore" or the Dropbox settings. Each command passes over them at once
// and finishes. (In place of the protected list they refuse every move: protection_gate_test.)
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include "e2e/bounded_run.hpp"
#include "e2e/delete_support.hpp"
#include "support/temp_home.hpp"

namespace orvc::testing {
namespace {

struct Trap {
  const char* kind;
  std::function<void(const std::string&)> place;
};

void place_fifo(const std::string& path) {
  ASSERT_EQ(mkfifo(path.c_str(), 0644), 0) << path;
}

void place_zero_link(const std::string& path) {
  make_symlink("/dev/zero", path);
}

const Trap kTraps[] = {{"FIFO", place_fifo}, {"link to /dev/zero", place_zero_link}};

void expect_prompt(const TimedResult& run) {
  EXPECT_LT(run.elapsed, kPromptly) << seconds(run.elapsed) << " s";
}

// Strangers in the history folder, in place of the Dropbox settings and of a ".gitignore" (read
// by one loader for the duplicates' crawl and the junk scan) neither stop nor hang a move or a
// search, and are left where they are.
TEST(StoredFiles, EntriesThatAreNoFilesArePassedOver) {
  for (const Trap& trap : kTraps) {
    SCOPED_TRACE(trap.kind);
    const TempDir fresh;
    const std::string repo = fresh / "tree/repo";
    const std::vector<std::string> strangers = {
        fresh / "Library/Application Support/com.orvanta.app/history/evil.json",
        fresh / ".dropbox/info.json", repo + "/.gitignore"};
    for (const std::string& stranger : strangers) {
      make_dirs(stranger.substr(0, stranger.rfind('/')));
      trap.place(stranger);
    }
    make_dirs(repo + "/.git");
    write_sized_file(repo + "/a.bin", 6000);
    write_sized_file(repo + "/b.bin", 6000);
    set_mtime(repo + "/a.bin", 1000);
    write_file(fresh / "victim.txt", "v");
    make_dirs(fresh / "no-bin");

    const auto moved =
        run_orvc_bounded({"delete", "victim.txt"}, fresh.path(), {{"PATH", fresh / "no-bin"}});
    expect_prompt(moved);
    EXPECT_EQ(moved.result.exit_code, 0);
    EXPECT_EQ(moved.result.out, plan({"victim.txt"}) + kDone);
    EXPECT_EQ(moved.result.err, "");
    EXPECT_EQ(read_file(fresh / ".local/share/Trash/files/victim.txt"), "v");
    for (const std::string& stranger : strangers) EXPECT_TRUE(exists_no_follow(stranger));

    const auto found = run_orvc_bounded({"duplicates", "--path", fresh / "tree"}, fresh.path());
    expect_prompt(found);
    EXPECT_EQ(found.result.exit_code, 0);
    EXPECT_EQ(found.result.out, "Finding duplicates under " + fresh / "tree" +
                                    "\n\n  2 × 5.9 KB  (reclaim 5.9 KB)\n    keep " + repo +
                                    "/a.bin [git-tracked]\n    dup   " + repo +
                                    "/b.bin [git-tracked — review before deleting]\n\n"
                                    "  1 duplicate groups, 5.9 KB reclaimable\n");
  }
}

}  // namespace
}  // namespace orvc::testing
