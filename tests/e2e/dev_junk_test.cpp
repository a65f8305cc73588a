// `orvc dev-junk` and its preview `orvc diff` end to end: every category, build output that Git
// keeps, --older, and homes with nothing to clean. pgrep is looked up on a PATH of the test's
// own, so the machine's processes never matter.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <tuple>

#include "support/run_process.hpp"
#include "support/temp_home.hpp"
#include "support/trash_home.hpp"

namespace orvc::testing {
namespace {

using ::testing::HasSubstr;

constexpr uint64_t kMiB = 1 << 20;
constexpr int64_t kDay = 86400;
constexpr const char* kDryRun =
    "  DRY RUN — nothing was deleted. Re-run with --apply to clean safe items.\n";

class DevJunk : public ::testing::Test {
 protected:
  std::string at(const std::string& relative) const { return home_ / relative; }
  std::string golden(const std::string& text) const { return at_root(text, home_.path()); }
  // Each entry is a path and the file's exact allocated size in KiB or MiB ("a/b 64K", "c 6M"),
  // or a path alone: an empty file that marks a project, such as a Cargo.toml.
  void build(std::initializer_list<std::string> entries) {
    for (const std::string& entry : entries) {
      const size_t end = std::min(entry.rfind(' '), entry.size());
      const uint64_t unit = entry.back() == 'M' ? kMiB : 1024;
      allocate_file(at(entry.substr(0, end)),
                    end == entry.size() ? 0 : std::stoull(entry.substr(end + 1)) * unit);
    }
  }
  ProcessResult run(const std::vector<std::string>& args) {
    return run_orvc(args, home_.path(), {{"PATH", tools_.path()}});
  }

  TempDir home_;
  TempDir tools_;
};

// Every category with safe and risky items, near misses that must not appear, and the traps of
// the walks: links, cycles, a locked folder, a folder of 100 000 files, a name that is not UTF-8
// (shown with U+FFFD, its newline kept). Sizes are allocated bytes, so they are exact.
TEST_F(DevJunk, ApplyTrashesExactlyTheSafeItemsOfEveryCategory) {
  const std::string vm = "Library/Containers/com.docker.docker/Data/vms/0/";
  build({"Library/Containers/com.docker.docker/Data/vms/0/Docker.raw 6M",
         "Library/Containers/com.docker.docker/Data/vms/0/data/Docker.raw 5M",
         "Library/Containers/com.docker.docker/Data/log/vm.log 64K",
         "Library/Caches/com.docker.docker/blob 32K"});
  build({".npm/_cacache/index 3M", ".npm/_logs/debug.log 1M", ".yarn/cache/pkg.zip 2M",
         "Projects/web/package.json", "Projects/web/node_modules/react/index.js 50M",
         "Projects/old/node_modules/lodash/lodash.js 51M", "Projects/small/package.json",
         "Projects/small/node_modules/a.js 49M"});
  build({"Library/Developer/Xcode/DerivedData/App-x1/Build/obj.o 4M",
         "Library/Developer/Xcode/DerivedData/loose.db 128K",
         "Library/Developer/Xcode/Archives/2024-01-02/App.xcarchive/dSYM 7M",
         "Library/Developer/Xcode/Archives/notes.txt 4K",
         "Library/Developer/CoreSimulator/Caches/dyld 256K"});
  build({"Library/Caches/pip/http/wheel 1M", ".conda/pkgs/numpy.tar 2M",
         "Projects/py/pkg/__pycache__/mod.cpython-312.pyc 8K"});
  build({"Projects/rs/Cargo.toml", "Projects/rs/target/debug/app 20M",
         "Projects/rs-small/Cargo.toml", "Projects/rs-small/target/debug/app 19M",
         "Projects/net/Api.CSPROJ", "Projects/net/bin/Debug/Api.dll 22M",
         "Projects/py/requirements.txt", "Projects/py/.venv/pyvenv.cfg 4K",
         "Projects/py/.venv/lib/site.so 21M"});
  // Build output that Git keeps is the user's work.
  build({"Projects/tool/go.mod", "Projects/tool/bin/tool 23M", "Projects/huge/package.json",
         "Projects/huge/dist/bundle.js 24M", "Projects/bad\xff\nname/mix.exs",
         "Projects/bad\xff\nname/_build/x 25M"});
  make_symlink(at("nowhere"), at("Library/Developer/Xcode/DerivedData/dangling"));
  make_symlink(at("Library/Caches/pip/http/wheel"), at("Projects/rs/target/debug/wheel"));
  make_symlink(at("Projects/rs"), at("Projects/rs-link"));
  make_symlink(at("nowhere"), at("Projects/dangling"));
  make_symlink(at("Projects"), at("Projects/cycle"));
  for (const char* folder : {"Projects/tool/.git", "Projects/huge/flat", "Projects/locked/inner"}) {
    make_dirs(at(folder));
  }
  for (int i = 0; i < 100000; ++i) {
    ASSERT_EQ(close(creat(at("Projects/huge/flat/f" + std::to_string(i)).c_str(), 0644)), 0);
  }
  ASSERT_EQ(chmod(at("Projects/locked").c_str(), 0), 0);

  const ProcessResult result = run({"dev-junk", "--apply"});
  EXPECT_EQ(result.out, golden(R"(Developer Junk

  Build Artifacts (135.0 MB)
    ✓    25.0 MB  @/Projects/bad�
name/_build
    ✓    24.0 MB  @/Projects/huge/dist
    !    23.0 MB  @/Projects/tool/bin
    ✓    22.0 MB  @/Projects/net/bin
    !    21.0 MB  @/Projects/py/.venv
    ✓    20.0 MB  @/Projects/rs/target

  Node.js (106.0 MB)
    !    51.0 MB  @/Projects/old/node_modules
    !    50.0 MB  @/Projects/web/node_modules
    ✓     3.0 MB  @/.npm/_cacache
    ✓     2.0 MB  @/.yarn/cache

  Xcode (11.4 MB)
    !     7.0 MB  @/Library/Developer/Xcode/Archives/2024-01-02
    ✓     4.0 MB  @/Library/Developer/Xcode/DerivedData/App-x1
    ✓   256.0 KB  @/Library/Developer/CoreSimulator/Caches
    ✓   128.0 KB  @/Library/Developer/Xcode/DerivedData/loose.db

  Docker (11.1 MB)
    !     6.0 MB  @/Library/Containers/com.docker.docker/Data/vms/0/Docker.raw
    !     5.0 MB  @/Library/Containers/com.docker.docker/Data/vms/0/data/Docker.raw
    ✓    64.0 KB  @/Library/Containers/com.docker.docker/Data/log
    ✓    32.0 KB  @/Library/Caches/com.docker.docker

  Python (3.0 MB)
    !     2.0 MB  @/.conda/pkgs
    ✓     1.0 MB  @/Library/Caches/pip
    ✓     8.0 KB  @/Projects/py/pkg/__pycache__

  21 items, 266.5 MB total (101.5 MB safe-to-clean)
  Cleaned 101.5 MB — moved to Trash (recoverable).
)"));
  EXPECT_EQ(std::tie(result.exit_code, result.err), std::tuple(0, ""));
  // The Trash holds the safe items alone; every risky item and near miss stays.
  for (const std::string& kept : std::vector<std::string>{
           "Projects/old/node_modules", "Projects/web/node_modules", "Projects/py/.venv",
           "Library/Developer/Xcode/Archives/2024-01-02", vm + "Docker.raw", vm + "data/Docker.raw",
           ".conda/pkgs", "Projects/rs-small/target", "Projects/small/node_modules",
           "Projects/tool/bin"}) {
    EXPECT_TRUE(exists_no_follow(at(kept))) << kept;
  }
  EXPECT_EQ(sorted_entries(trash_files_of(home_.path())),
            (std::vector<std::string>{"App-x1", "Caches", "__pycache__", "_build", "_cacache",
                                      "bin", "cache", "com.docker.docker", "dist", "log",
                                      "loose.db", "pip", "target"}));
  const std::vector<std::string> manifests = sorted_entries(history_of(home_.path()));
  ASSERT_EQ(manifests.size(), 1u);
  EXPECT_THAT(read_file(history_of(home_.path(), manifests[0])), HasSubstr("\"cli_dev_junk\""));
}

// A project touched 3 days ago whose junk has not changed for 300, and one untouched for 300
// days whose build output is fresh: only a project's own files tell its age. A cache old at
// the top but written 3 days ago deep inside is in use.
TEST_F(DevJunk, OlderListsPreviewsAndMovesOnlyUntouchedJunk) {
  build({"Projects/fresh/target/debug/app 20M", "Projects/stale/target/debug/lib 21M",
         "Projects/stale/node_modules/react/index.js 50M", ".npm/_cacache/index 3M",
         "Library/Caches/pip/http/a/wheel 1M", "Projects/fresh/Cargo.toml",
         "Projects/fresh/src/main.rs", "Projects/stale/Cargo.toml", "Projects/stale/package.json",
         "Projects/stale/src/lib.rs"});
  const int64_t now = std::time(nullptr);
  set_tree_mtime(home_.path(), now - 300 * kDay);
  set_tree_mtime(at("Projects/fresh"), now - 3 * kDay);
  set_tree_mtime(at("Projects/fresh/target"), now - 300 * kDay);
  set_tree_mtime(at("Projects/stale/target"), now - 3 * kDay);
  set_mtime(at("Library/Caches/pip/http/a/wheel"), now - 3 * kDay);

  EXPECT_THAT(run({"dev-junk"}).out,
              HasSubstr("  5 items, 95.0 MB total (45.0 MB safe-to-clean)\n"));
  const std::string report = golden(R"(Developer Junk
  Only items untouched for 30 days or more

  Node.js (53.0 MB)
    !    50.0 MB  @/Projects/stale/node_modules
    ✓     3.0 MB  @/.npm/_cacache

  Build Artifacts (21.0 MB)
    ✓    21.0 MB  @/Projects/stale/target

  3 items, 74.0 MB total (24.0 MB safe-to-clean)
)");
  EXPECT_EQ(run({"dev-junk", "--older", "30"}).out, report + kDryRun);
  EXPECT_EQ(run({"diff", "--older", "30"}).out, golden(R"(--- a/disk (current)
+++ b/disk (after cleanup, DRY RUN)
- @/.npm/_cacache [3.0 MB]
- @/Projects/stale/target [21.0 MB]
  @/Projects/stale/node_modules [50.0 MB] (preserved — risky, not auto-selected)

2 files changed, -24.0 MB space reclaimed (DRY RUN)
)"));

  const ProcessResult applied = run({"dev-junk", "--apply", "--older", "30"});
  EXPECT_EQ(applied.out, report + "  Cleaned 24.0 MB — moved to Trash (recoverable).\n");
  EXPECT_EQ(applied.exit_code, 0);
  EXPECT_EQ(sorted_entries(trash_files_of(home_.path())),
            (std::vector<std::string>{"_cacache", "target"}));
  EXPECT_TRUE(exists_no_follow(at("Projects/fresh/target")));  // the "target" moved is stale's
  EXPECT_TRUE(exists_no_follow(at("Library/Caches/pip")));
  EXPECT_EQ(sorted_entries(history_of(home_.path())).size(), 1u);
}

TEST_F(DevJunk, HomesWithNothingToClean) {
  build({"Projects/site/package.json", "Projects/site/src/index.ts"});
  EXPECT_EQ(run({"dev-junk"}).out,
            "Developer Junk\n  Nothing found — your dev caches are clean.\n");
  const std::string no_change =
      "--- a/disk (current)\n+++ b/disk (after cleanup, DRY RUN)\n\n"
      "0 files changed, -0 B space reclaimed (DRY RUN)\n";
  EXPECT_EQ(run({"diff"}).out, no_change);
  EXPECT_EQ(run({"diff", "--dry-run"}).out, no_change);

  // Only risky items: --apply has nothing to move and records nothing.
  build({"Library/Developer/Xcode/Archives/1/App.xcarchive/app 3M", ".conda/envs/base/python 2M"});
  const ProcessResult result = run({"dev-junk", "--apply"});
  EXPECT_EQ(result.out, golden(R"(Developer Junk

  Xcode (3.0 MB)
    !     3.0 MB  @/Library/Developer/Xcode/Archives/1

  Python (2.0 MB)
    !     2.0 MB  @/.conda/envs

  2 items, 5.0 MB total (0 B safe-to-clean)
  No safe-to-clean items to apply.
)"));
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_TRUE(exists_no_follow(at(".conda/envs")));
  EXPECT_FALSE(exists_no_follow(trash_files_of(home_.path())));
  EXPECT_FALSE(exists_no_follow(history_of(home_.path())));
}

TEST_F(DevJunk, AnExistingCacheCountsEvenWhenEmpty) {
  // .npm is offered when it has no _cacache.
  make_dirs(at(".npm/_logs"));
  EXPECT_EQ(run({"dev-junk"}).out, "Developer Junk\n\n  Node.js (0 B)\n    ✓        0 B  " +
                                       at(".npm") +
                                       "\n\n  1 items, 0 B total (0 B safe-to-clean)\n" + kDryRun);
}

}  // namespace
}  // namespace orvc::testing
