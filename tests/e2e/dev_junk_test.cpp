#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <vector>

#include "support/run_process.hpp"
#include "support/temp_home.hpp"
#include "unit/junk/junk_fixture.hpp"

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

  // One report line per item: the mark, the measured size right-aligned, the path.
  std::string line(const std::string& relative, bool safe) {
    char text[32];
    std::snprintf(text, sizeof text, "%10s", size_text(file_usage(at(relative))).c_str());
    return std::string("    ") + (safe ? "✓" : "!") + " " + text + "  " + at(relative) + "\n";
  }

  TempDir home_;
  TempDir tools_;
};

// Every category, each with safe and risky items, near misses that must not appear, and the
// traps of the walks (links, hidden folders, missing markers).
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
    write_file(at("Projects/py/.venv/pyvenv.cfg"), "home = /usr/bin\n");
    allocate_file(at("Projects/py/.venv/lib/site.so"), 21 * kMiB);
    write_file(at("Projects/py2/requirements.txt"), "requests\n");
    allocate_file(at("Projects/py2/.venv/lib/site.so"), 23 * kMiB);
    make_symlink(at("Projects/rs"), at("Projects/rs-link"));
  }

  std::string report() {
    const std::string docker = "Library/Containers/com.docker.docker/Data/";
    const std::string xcode = "Library/Developer/Xcode/";
    const uint64_t node = file_usage(at("Projects/old/node_modules")) +
                          file_usage(at("Projects/web/node_modules")) +
                          file_usage(at(".npm/_cacache")) + file_usage(at(".yarn/cache"));
    const uint64_t build = file_usage(at("Projects/net/bin")) +
                           file_usage(at("Projects/py/.venv")) +
                           file_usage(at("Projects/rs/target"));
    const uint64_t xcode_total = file_usage(at(xcode + "Archives/2024-01-02")) +
                                 file_usage(at(xcode + "DerivedData")) +
                                 file_usage(at("Library/Developer/CoreSimulator/Caches"));
    const uint64_t docker_total = file_usage(at("Library/Containers/com.docker.docker")) +
                                  file_usage(at("Library/Caches/com.docker.docker"));
    const uint64_t python = file_usage(at(".conda/pkgs")) + file_usage(at("Library/Caches/pip")) +
                            file_usage(at("Projects/py/pkg/__pycache__"));
    const uint64_t risky =
        file_usage(at("Projects/old/node_modules")) + file_usage(at("Projects/web/node_modules")) +
        file_usage(at("Projects/py/.venv")) + file_usage(at(xcode + "Archives/2024-01-02")) +
        file_usage(at(docker + "vms")) + file_usage(at(".conda/pkgs"));
    const uint64_t total = node + build + xcode_total + docker_total + python;
    return "Developer Junk\n\n  Node.js (" + size_text(node) + ")\n" +
           line("Projects/old/node_modules", false) + line("Projects/web/node_modules", false) +
           line(".npm/_cacache", true) + line(".yarn/cache", true) + "\n  Build Artifacts (" +
           size_text(build) + ")\n" + line("Projects/net/bin", true) +
           line("Projects/py/.venv", false) + line("Projects/rs/target", true) + "\n  Xcode (" +
           size_text(xcode_total) + ")\n" + line(xcode + "Archives/2024-01-02", false) +
           line(xcode + "DerivedData/App-x1", true) +
           line("Library/Developer/CoreSimulator/Caches", true) +
           line(xcode + "DerivedData/loose.db", true) + "\n  Docker (" + size_text(docker_total) +
           ")\n" + line(docker + "vms/0/Docker.raw", false) +
           line(docker + "vms/0/data/Docker.raw", false) + line(docker + "log", true) +
           line("Library/Caches/com.docker.docker", true) + "\n  Python (" + size_text(python) +
           ")\n" + line(".conda/pkgs", false) + line("Library/Caches/pip", true) +
           line("Projects/py/pkg/__pycache__", true) + "\n  18 items, " + size_text(total) +
           " total (" + size_text(total - risky) + " safe-to-clean)\n";
  }
};

TEST_F(DevJunkAllCategories, ReportsEveryCategoryLargestFirst) {
  const ProcessResult result = run({"dev-junk"});
  EXPECT_EQ(result.out, report() + kDryRun);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.exit_code, 0);
}

TEST_F(DevJunkAllCategories, ApplyTrashesExactlyTheSafeItems) {
  const std::string expected = report();
  const ProcessResult result = run({"dev-junk", "--apply"});
  const std::string safe_total =
      expected.substr(expected.rfind('(') + 1, expected.rfind(" safe") - expected.rfind('(') - 1);
  EXPECT_EQ(result.out,
            expected + "  Cleaned " + safe_total + " — moved to Trash (recoverable).\n");
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.exit_code, 0);

  for (const char* gone :
       {".npm/_cacache", ".yarn/cache", "Projects/net/bin", "Projects/rs/target",
        "Library/Developer/Xcode/DerivedData/App-x1",
        "Library/Developer/Xcode/DerivedData/loose.db", "Library/Developer/CoreSimulator/Caches",
        "Library/Containers/com.docker.docker/Data/log", "Library/Caches/com.docker.docker",
        "Library/Caches/pip", "Projects/py/pkg/__pycache__"}) {
    EXPECT_FALSE(exists_no_follow(at(gone))) << gone;
  }
  for (const char* kept :
       {"Projects/old/node_modules", "Projects/web/node_modules", "Projects/py/.venv",
        "Library/Developer/Xcode/Archives/2024-01-02",
        "Library/Containers/com.docker.docker/Data/vms/0/Docker.raw",
        "Library/Containers/com.docker.docker/Data/vms/0/data/Docker.raw", ".conda/pkgs",
        "Projects/rs-small/target", "Projects/small/node_modules", "Projects/py2/.venv"}) {
    EXPECT_TRUE(exists_no_follow(at(kept))) << kept;
  }
  EXPECT_EQ(sorted_entries(at(".local/share/Trash/files")),
            (std::vector<std::string>{"App-x1", "Caches", "__pycache__", "_cacache", "bin", "cache",
                                      "com.docker.docker", "log", "loose.db", "pip", "target"}));
  const std::string history = at("Library/Application Support/com.orvanta.app/history");
  const std::vector<std::string> manifests = sorted_entries(history);
  ASSERT_EQ(manifests.size(), 1u);
  EXPECT_NE(read_file(history + "/" + manifests[0]).find("\"cli_dev_junk\""), std::string::npos);
}

TEST_F(DevJunk, ApplyWithOnlyRiskyItemsMovesNothing) {
  allocate_file(at("Library/Developer/Xcode/Archives/1/App.xcarchive/app"), 3 * kMiB);
  allocate_file(at(".conda/envs/base/python"), 2 * kMiB);
  const ProcessResult result = run({"dev-junk", "--apply"});
  EXPECT_EQ(result.out, "Developer Junk\n\n  Xcode (3.0 MB)\n" +
                            line("Library/Developer/Xcode/Archives/1", false) +
                            "\n  Python (2.0 MB)\n" + line(".conda/envs", false) +
                            "\n  2 items, 5.0 MB total (0 B safe-to-clean)\n"
                            "  No safe-to-clean items to apply.\n");
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_TRUE(exists_no_follow(at("Library/Developer/Xcode/Archives/1")));
  EXPECT_TRUE(exists_no_follow(at(".conda/envs")));
  EXPECT_EQ(sorted_entries(at(".local/share/Trash/files")), std::vector<std::string>{});
  EXPECT_EQ(sorted_entries(at("Library/Application Support/com.orvanta.app/history")),
            std::vector<std::string>{});
}

TEST_F(DevJunk, CleanHomeAndEmptyCaches) {
  make_dirs(at("Projects/site/src"));
  write_file(at("Projects/site/package.json"), "{}");
  EXPECT_EQ(run({"dev-junk"}).out,
            "Developer Junk\n  Nothing found — your dev caches are clean.\n");

  // An existing cache counts even when empty; .npm is offered when it has no _cacache.
  make_dirs(at(".npm/_logs"));
  const ProcessResult result = run({"dev-junk"});
  EXPECT_EQ(result.out, "Developer Junk\n\n  Node.js (0 B)\n" + line(".npm", true) +
                            "\n  1 items, 0 B total (0 B safe-to-clean)\n" + kDryRun);
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
  EXPECT_NE(result.out.find(line("Projects/huge/target", true)), std::string::npos);
  EXPECT_NE(result.out.find("  2 items, 40.0 MB total (40.0 MB safe-to-clean)\n"),
            std::string::npos);
}

}  // namespace
}  // namespace orvc::testing
