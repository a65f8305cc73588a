#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "support/run_process.hpp"
#include "support/temp_home.hpp"
#include "support/trash_home.hpp"

namespace orvc::testing {
namespace {

constexpr uint64_t kMiB = 1 << 20;
constexpr const char* kDryRun =
    "  DRY RUN — nothing was deleted. Re-run with --apply to clean safe items.\n";

void write_script(const std::string& path, const std::string& body) {
  write_file(path, "#!/bin/sh\n" + body);
  ASSERT_EQ(chmod(path.c_str(), 0755), 0);
}

class DevJunk : public ::testing::Test {
 protected:
  std::string at(const std::string& relative) const { return home_ / relative; }

  // pgrep is looked up on a PATH of our own, so the machine's processes never matter.
  ProcessResult run(const std::vector<std::string>& args) {
    return run_orvc(args, home_.path(), {{"PATH", tools_.path()}});
  }

  TempDir home_;
  TempDir tools_;
};

// Every category, each with safe and risky items, near misses that must not appear, and the
// traps of the walks (links, hidden folders, missing markers). Sizes are allocated bytes; every
// file is allocated in whole 4 KiB blocks.
class DevJunkAllCategories : public DevJunk {
 protected:
  void SetUp() override {
    const std::string vm = "Library/Containers/com.docker.docker/Data/vms/0/";
    allocate_file(at(vm + "Docker.raw"), 6 * kMiB);
    allocate_file(at(vm + "data/Docker.raw"), 5 * kMiB);
    allocate_file(at("Library/Containers/com.docker.docker/Data/log/vm.log"), 64 << 10);
    allocate_file(at("Library/Caches/com.docker.docker/blob"), 32 << 10);

    allocate_file(at(".npm/_cacache/index"), 3 * kMiB);
    allocate_file(at(".npm/_logs/debug.log"), kMiB);
    allocate_file(at(".yarn/cache/pkg.zip"), 2 * kMiB);
    write_file(at("Projects/web/package.json"), "{}");
    allocate_file(at("Projects/web/node_modules/react/index.js"), 50 * kMiB);
    allocate_file(at("Projects/old/node_modules/lodash/lodash.js"), 51 * kMiB);
    write_file(at("Projects/small/package.json"), "{}");
    allocate_file(at("Projects/small/node_modules/a.js"), 49 * kMiB);

    allocate_file(at("Library/Developer/Xcode/DerivedData/App-x1/Build/obj.o"), 4 * kMiB);
    allocate_file(at("Library/Developer/Xcode/DerivedData/loose.db"), 128 << 10);
    make_symlink(at("nowhere"), at("Library/Developer/Xcode/DerivedData/dangling"));
    allocate_file(at("Library/Developer/Xcode/Archives/2024-01-02/App.xcarchive/dSYM"), 7 * kMiB);
    allocate_file(at("Library/Developer/Xcode/Archives/notes.txt"), 4 << 10);
    allocate_file(at("Library/Developer/CoreSimulator/Caches/dyld"), 256 << 10);

    allocate_file(at("Library/Caches/pip/http/wheel"), kMiB);
    allocate_file(at(".conda/pkgs/numpy.tar"), 2 * kMiB);
    allocate_file(at("Projects/py/pkg/__pycache__/mod.cpython-312.pyc"), 8 << 10);

    write_file(at("Projects/rs/Cargo.toml"), "");
    allocate_file(at("Projects/rs/target/debug/app"), 20 * kMiB);
    make_symlink(at("Library/Caches/pip/http/wheel"), at("Projects/rs/target/debug/wheel"));
    write_file(at("Projects/rs-small/Cargo.toml"), "");
    allocate_file(at("Projects/rs-small/target/debug/app"), 19 * kMiB);
    write_file(at("Projects/net/Api.CSPROJ"), "");
    allocate_file(at("Projects/net/bin/Debug/Api.dll"), 22 * kMiB);
    write_file(at("Projects/py/requirements.txt"), "requests\n");
    allocate_file(at("Projects/py/.venv/pyvenv.cfg"), 4 << 10);
    allocate_file(at("Projects/py/.venv/lib/site.so"), 21 * kMiB);
    write_file(at("Projects/py2/requirements.txt"), "requests\n");
    allocate_file(at("Projects/py2/.venv/lib/site.so"), 23 * kMiB);
    make_symlink(at("Projects/rs"), at("Projects/rs-link"));
  }

  std::string report() const {
    return at_root(R"(Developer Junk

  Node.js (106.0 MB)
    !    51.0 MB  @/Projects/old/node_modules
    !    50.0 MB  @/Projects/web/node_modules
    ✓     3.0 MB  @/.npm/_cacache
    ✓     2.0 MB  @/.yarn/cache

  Build Artifacts (63.0 MB)
    ✓    22.0 MB  @/Projects/net/bin
    !    21.0 MB  @/Projects/py/.venv
    ✓    20.0 MB  @/Projects/rs/target

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

  18 items, 194.5 MB total (52.5 MB safe-to-clean)
)",
                   home_.path());
  }
};

TEST_F(DevJunkAllCategories, ReportsEveryCategoryLargestFirst) {
  const ProcessResult result = run({"dev-junk"});
  EXPECT_EQ(result.out, report() + kDryRun);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.exit_code, 0);
}

TEST_F(DevJunkAllCategories, ApplyTrashesExactlyTheSafeItems) {
  const ProcessResult result = run({"dev-junk", "--apply"});
  EXPECT_EQ(result.out, report() + "  Cleaned 52.5 MB — moved to Trash (recoverable).\n");
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.exit_code, 0);

  // The Trash holds the safe items alone; every risky item and near miss stays.
  for (const char* kept :
       {"Projects/old/node_modules", "Projects/web/node_modules", "Projects/py/.venv",
        "Library/Developer/Xcode/Archives/2024-01-02",
        "Library/Containers/com.docker.docker/Data/vms/0/Docker.raw",
        "Library/Containers/com.docker.docker/Data/vms/0/data/Docker.raw", ".conda/pkgs",
        "Projects/rs-small/target", "Projects/small/node_modules", "Projects/py2/.venv"}) {
    EXPECT_TRUE(exists_no_follow(at(kept))) << kept;
  }
  EXPECT_EQ(sorted_entries(trash_files_of(home_.path())),
            (std::vector<std::string>{"App-x1", "Caches", "__pycache__", "_cacache", "bin", "cache",
                                      "com.docker.docker", "log", "loose.db", "pip", "target"}));
  const std::vector<std::string> manifests = sorted_entries(history_of(home_.path()));
  ASSERT_EQ(manifests.size(), 1u);
  EXPECT_NE(read_file(history_of(home_.path(), manifests[0])).find("\"cli_dev_junk\""),
            std::string::npos);
}

TEST_F(DevJunk, ApplyWithOnlyRiskyItemsMovesNothing) {
  allocate_file(at("Library/Developer/Xcode/Archives/1/App.xcarchive/app"), 3 * kMiB);
  allocate_file(at(".conda/envs/base/python"), 2 * kMiB);
  const ProcessResult result = run({"dev-junk", "--apply"});
  EXPECT_EQ(result.out, at_root(R"(Developer Junk

  Xcode (3.0 MB)
    !     3.0 MB  @/Library/Developer/Xcode/Archives/1

  Python (2.0 MB)
    !     2.0 MB  @/.conda/envs

  2 items, 5.0 MB total (0 B safe-to-clean)
  No safe-to-clean items to apply.
)",
                                home_.path()));
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_TRUE(exists_no_follow(at(".conda/envs")));
  EXPECT_EQ(sorted_entries(trash_files_of(home_.path())), std::vector<std::string>{});
  EXPECT_EQ(sorted_entries(history_of(home_.path())), std::vector<std::string>{});
}

TEST_F(DevJunk, CleanHomeAndEmptyCaches) {
  make_dirs(at("Projects/site/src"));
  write_file(at("Projects/site/package.json"), "{}");
  EXPECT_EQ(run({"dev-junk"}).out,
            "Developer Junk\n  Nothing found — your dev caches are clean.\n");

  // An existing cache counts even when empty; .npm is offered when it has no _cacache.
  make_dirs(at(".npm/_logs"));
  EXPECT_EQ(run({"dev-junk"}).out, "Developer Junk\n\n  Node.js (0 B)\n    ✓        0 B  " +
                                       at(".npm") +
                                       "\n\n  1 items, 0 B total (0 B safe-to-clean)\n" + kDryRun);
}

TEST_F(DevJunk, HomeUnsetFailsBeforeStartingPgrep) {
  const std::string marker = tools_ / "pgrep-was-called";
  write_script(tools_ / "pgrep", "touch '" + marker + "'\necho 1\n");
  ProcessOptions options;
  options.env = {{"PATH", tools_.path()}, {"NO_COLOR", "1"}};
  const ProcessResult result = run_program({ORVC_BINARY, "dev-junk"}, options);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "Developer junk scan failed: HOME environment variable is not set\n");
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_FALSE(exists_no_follow(marker));
}

TEST_F(DevJunk, SurvivesHostileTrees) {
  const std::string project = at("Projects/huge");
  write_file(project + "/Cargo.toml", "");
  allocate_file(project + "/target/bin", 20 * kMiB);
  make_dirs(project + "/flat");
  for (int i = 0; i < 100000; ++i) {
    const int fd = creat((project + "/flat/f" + std::to_string(i)).c_str(), 0644);
    ASSERT_GE(fd, 0);
    close(fd);
  }
  make_dirs(at("Projects/locked/inner"));
  ASSERT_EQ(chmod(at("Projects/locked").c_str(), 0), 0);
  make_symlink(at("nowhere"), at("Projects/dangling"));
  make_symlink(at("Projects"), at("Projects/cycle"));
  write_file(at("Projects/bad\xff\nname/Cargo.toml"), "");
  allocate_file(at("Projects/bad\xff\nname/target/x"), 20 * kMiB);

  const ProcessResult result = run({"dev-junk"});
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.err, "");
  // Two 20 MiB targets; the odd name is printed with its invalid byte replaced.
  EXPECT_NE(result.out.find("/Projects/bad\xef\xbf\xbd\nname/target\n"), std::string::npos);
  EXPECT_NE(result.out.find("    ✓    20.0 MB  " + at("Projects/huge/target") + "\n"),
            std::string::npos);
  EXPECT_NE(result.out.find("  2 items, 40.0 MB total (40.0 MB safe-to-clean)\n"),
            std::string::npos);
}

}  // namespace
}  // namespace orvc::testing
