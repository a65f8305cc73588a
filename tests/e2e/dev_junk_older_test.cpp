// `dev-junk --older DAYS` and `diff --older DAYS`: only junk of projects (and caches) left
// untouched that long is offered, listed, previewed and moved.
#include <gtest/gtest.h>

#include <ctime>
#include <vector>

#include "support/run_process.hpp"
#include "support/temp_home.hpp"
#include "support/trash_home.hpp"

namespace orvc::testing {
namespace {

constexpr uint64_t kMiB = 1 << 20;
constexpr int64_t kDay = 86400;

// A project touched 3 days ago whose junk has not changed for 300, and one untouched for 300
// days whose build output is fresh: only a project's own files tell its age. A cache old at
// the top but written 3 days ago deep inside is in use.
class DevJunkOlder : public ::testing::Test {
 protected:
  void SetUp() override {
    write_file(at("Projects/fresh/Cargo.toml"), "");
    write_file(at("Projects/fresh/src/main.rs"), "");
    allocate_file(at("Projects/fresh/target/debug/app"), 20 * kMiB);
    write_file(at("Projects/stale/Cargo.toml"), "");
    write_file(at("Projects/stale/package.json"), "{}");
    write_file(at("Projects/stale/src/lib.rs"), "");
    allocate_file(at("Projects/stale/target/debug/lib"), 21 * kMiB);
    allocate_file(at("Projects/stale/node_modules/react/index.js"), 50 * kMiB);
    allocate_file(at(".npm/_cacache/index"), 3 * kMiB);
    allocate_file(at("Library/Caches/pip/http/a/wheel"), kMiB);

    const int64_t now = std::time(nullptr);
    set_tree_mtime(home_.path(), now - 300 * kDay);
    set_tree_mtime(at("Projects/fresh"), now - 3 * kDay);
    set_tree_mtime(at("Projects/fresh/target"), now - 300 * kDay);
    set_tree_mtime(at("Projects/stale/target"), now - 3 * kDay);
    set_mtime(at("Library/Caches/pip/http/a/wheel"), now - 3 * kDay);
  }

  std::string at(const std::string& relative) const { return home_ / relative; }
  ProcessResult run(const std::vector<std::string>& args) {
    return run_orvc(args, home_.path(), {{"PATH", tools_.path()}});
  }

  TempDir home_;
  TempDir tools_;
};

TEST_F(DevJunkOlder, ListsPreviewsAndMovesOnlyUntouchedJunk) {
  EXPECT_NE(run({"dev-junk"}).out.find("  5 items, 95.0 MB total (45.0 MB safe-to-clean)\n"),
            std::string::npos);
  const std::string report = at_root(R"(Developer Junk
  Only items untouched for 30 days or more

  Node.js (53.0 MB)
    !    50.0 MB  @/Projects/stale/node_modules
    ✓     3.0 MB  @/.npm/_cacache

  Build Artifacts (21.0 MB)
    ✓    21.0 MB  @/Projects/stale/target

  3 items, 74.0 MB total (24.0 MB safe-to-clean)
)",
                                     home_.path());
  EXPECT_EQ(run({"dev-junk", "--older", "30"}).out,
            report + "  DRY RUN — nothing was deleted. Re-run with --apply to clean safe items.\n");
  EXPECT_EQ(run({"diff", "--older", "30"}).out, at_root(R"(--- a/disk (current)
+++ b/disk (after cleanup, DRY RUN)
- @/.npm/_cacache [3.0 MB]
- @/Projects/stale/target [21.0 MB]
  @/Projects/stale/node_modules [50.0 MB] (preserved — risky, not auto-selected)

2 files changed, -24.0 MB space reclaimed (DRY RUN)
)",
                                                        home_.path()));

  const ProcessResult applied = run({"dev-junk", "--apply", "--older", "30"});
  EXPECT_EQ(applied.out, report + "  Cleaned 24.0 MB — moved to Trash (recoverable).\n");
  EXPECT_EQ(applied.exit_code, 0);
  EXPECT_EQ(sorted_entries(trash_files_of(home_.path())),
            (std::vector<std::string>{"_cacache", "target"}));
  EXPECT_NE(read_file(trash_info_of(home_.path(), "target")).find("Projects/stale/target"),
            std::string::npos);
  EXPECT_TRUE(exists_no_follow(at("Projects/fresh/target")));
  EXPECT_TRUE(exists_no_follow(at("Library/Caches/pip")));
  EXPECT_EQ(sorted_entries(history_of(home_.path())).size(), 1u);
}

}  // namespace
}  // namespace orvc::testing
