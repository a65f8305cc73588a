// Files the program reads that are not files: a FIFO or a link to /dev/zero in the place of a
// history manifest, a ".gitignore", the Dropbox settings or the protected list. Each command
// passes over them at once (or, for the protected list, refuses to move anything) and finishes.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>

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
  make_dirs(path.substr(0, path.rfind('/')));
  ASSERT_EQ(mkfifo(path.c_str(), 0644), 0) << path;
}

void place_zero_link(const std::string& path) {
  make_symlink("/dev/zero", path);
}

const Trap kTraps[] = {{"FIFO", place_fifo}, {"link to /dev/zero", place_zero_link}};

void expect_prompt(const TimedResult& run) {
  EXPECT_LT(run.elapsed, kPromptly) << seconds(run.elapsed) << " s";
}

// A stranger in the history folder or in place of the Dropbox settings neither stops nor hangs
// a move, and is left where it is.
TEST(StoredFiles, EntriesThatAreNoFilesDoNotStopAMove) {
  for (const char* where :
       {"Library/Application Support/com.orvanta.app/history/evil.json", ".dropbox/info.json"}) {
    for (const Trap& trap : kTraps) {
      SCOPED_TRACE(std::string(where) + ": " + trap.kind);
      const TempDir fresh;
      make_dirs((fresh / where).substr(0, (fresh / where).rfind('/')));
      trap.place(fresh / where);
      write_file(fresh / "victim.txt", "v");
      make_dirs(fresh / "no-bin");
      const auto run =
          run_orvc_bounded({"delete", "victim.txt"}, fresh.path(), {{"PATH", fresh / "no-bin"}});
      expect_prompt(run);
      EXPECT_EQ(run.result.exit_code, 0);
      EXPECT_EQ(run.result.out, plan({"victim.txt"}) + kDone);
      EXPECT_EQ(run.result.err, "");
      EXPECT_EQ(read_file(fresh / ".local/share/Trash/files/victim.txt"), "v");
      EXPECT_TRUE(exists_no_follow(fresh / where));
    }
  }
}

TEST(StoredFiles, GitignoreThatIsNoFileIsPassedOverByDuplicates) {
  for (const Trap& trap : kTraps) {
    SCOPED_TRACE(trap.kind);
    const TempDir fresh;
    const std::string repo = fresh / "tree/repo";
    make_dirs(repo + "/.git");
    trap.place(repo + "/.gitignore");
    write_sized_file(repo + "/a.bin", 6000);
    write_sized_file(repo + "/b.bin", 6000);
    set_mtime(repo + "/a.bin", 1000);
    const auto run = run_orvc_bounded({"duplicates", "--path", fresh / "tree"}, fresh.path());
    expect_prompt(run);
    EXPECT_EQ(run.result.exit_code, 0);
    EXPECT_EQ(run.result.out, "Finding duplicates under " + fresh / "tree" +
                                  "\n\n  2 × 5.9 KB  (reclaim 5.9 KB)\n    keep " + repo +
                                  "/a.bin [git-tracked]\n    dup   " + repo +
                                  "/b.bin [git-tracked — review before deleting]\n\n"
                                  "  1 duplicate groups, 5.9 KB reclaimable\n");
  }
}

TEST(StoredFiles, GitignoreThatIsNoFileIsPassedOverByDevJunk) {
  for (const Trap& trap : kTraps) {
    SCOPED_TRACE(trap.kind);
    const TempDir fresh;
    make_dirs(fresh / "Projects/.git");
    trap.place(fresh / "Projects/.gitignore");
    write_file(fresh / "Projects/rs/Cargo.toml", "");
    allocate_file(fresh / "Projects/rs/target/debug/app", 20 << 20);
    make_dirs(fresh / "no-bin");
    const auto run = run_orvc_bounded({"dev-junk"}, fresh.path(), {{"PATH", fresh / "no-bin"}});
    expect_prompt(run);
    EXPECT_EQ(run.result.exit_code, 0);
    // Without readable rules nothing in the repository is ignored: the output counts as Git's.
    EXPECT_EQ(run.result.out,
              "Developer Junk\n\n  Build Artifacts (20.0 MB)\n    !    20.0 MB  " +
                  fresh / "Projects/rs/target" +
                  "\n\n  1 items, 20.0 MB total (0 B safe-to-clean)\n"
                  "  DRY RUN — nothing was deleted. Re-run with --apply to clean safe items.\n");
  }
}

TEST(StoredFiles, ProtectedListThatIsNoFileRefusesEveryMove) {
  for (const Trap& trap : kTraps) {
    SCOPED_TRACE(trap.kind);
    const TempDir fresh;
    const std::string list =
        fresh / "Library/Application Support/com.orvanta.app/protected_paths.json";
    trap.place(list);
    write_file(fresh / "victim.txt", "v");
    make_dirs(fresh / "no-bin");
    const auto run =
        run_orvc_bounded({"delete", "victim.txt"}, fresh.path(), {{"PATH", fresh / "no-bin"}});
    expect_prompt(run);
    EXPECT_EQ(run.result.exit_code, 1);
    EXPECT_EQ(run.result.out, "");
    EXPECT_EQ(run.result.err, "Refusing to move anything: the protected paths file '" + list +
                                  "' is not valid: not a regular file\n");
    EXPECT_EQ(read_file(fresh / "victim.txt"), "v");
  }
}

}  // namespace
}  // namespace orvc::testing
