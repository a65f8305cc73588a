// Build output that Git keeps is the user's work: `dev-junk` marks it risky and `--apply`
// leaves it, while build output that the repository ignores stays safe to clean.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/run_process.hpp"
#include "support/temp_home.hpp"

namespace orvc::testing {
namespace {

constexpr uint64_t kMiB = 1 << 20;
constexpr const char* kGit = "/usr/bin/git";

class DevJunkGit : public ::testing::Test {
 protected:
  std::string at(const std::string& relative) const { return home_ / relative; }

  // Git with nothing of the machine's configuration, run in the project folder.
  void git(const std::vector<std::string>& args) {
    ProcessOptions options;
    options.env = {
        {"HOME", home_.path()}, {"GIT_CONFIG_NOSYSTEM", "1"}, {"GIT_CONFIG_GLOBAL", "/dev/null"}};
    options.working_dir = at("Projects");
    std::vector<std::string> argv = {kGit, "-c", "user.name=t", "-c", "user.email=t@t"};
    argv.insert(argv.end(), args.begin(), args.end());
    const ProcessResult result = run_program(argv, options);
    ASSERT_EQ(result.exit_code, 0) << result.err;
  }

  // One repository holding three projects: a Go tool whose bin/ is committed, a web app whose
  // build/ is ignored by a folder rule, and one whose build/ is neither committed nor ignored.
  void SetUp() override {
    if (access(kGit, X_OK) != 0) GTEST_SKIP() << "git is not installed at " << kGit;
    write_file(at("Projects/tool/go.mod"), "module tool\n");
    allocate_file(at("Projects/tool/bin/tool"), 22 * kMiB);
    write_file(at("Projects/web/package.json"), "{}");
    write_file(at("Projects/web/.gitignore"), "build/\n");
    allocate_file(at("Projects/web/build/app.js"), 21 * kMiB);
    write_file(at("Projects/app/package.json"), "{}");
    allocate_file(at("Projects/app/build/app.js"), 23 * kMiB);
    git({"init", "-q"});
    git({"add", "tool", "web"});
    git({"commit", "-q", "-m", "init"});
    make_dirs(tools_);
  }

  ProcessResult run(const std::vector<std::string>& args) {
    return run_orvc(args, home_.path(), {{"PATH", tools_}});
  }

  // The allocations are exact, so the sizes are too.
  std::string report() {
    return "Developer Junk\n\n  Build Artifacts (66.0 MB)\n"
           "    !    23.0 MB  " +
           at("Projects/app/build") +
           "\n"
           "    !    22.0 MB  " +
           at("Projects/tool/bin") +
           "\n"
           "    ✓    21.0 MB  " +
           at("Projects/web/build") +
           "\n"
           "\n  3 items, 66.0 MB total (21.0 MB safe-to-clean)\n";
  }

  TempDir home_;
  const std::string tools_ = home_ / "no-bin";
};

TEST_F(DevJunkGit, TrackedBuildOutputIsRiskyAndStaysWhenApplied) {
  const std::string expected = report();
  const std::string web = "21.0 MB";

  const ProcessResult dry = run({"dev-junk"});
  EXPECT_EQ(dry.out, expected +
                         "  DRY RUN — nothing was deleted. Re-run with --apply to clean safe "
                         "items.\n");
  EXPECT_EQ(dry.exit_code, 0);

  const ProcessResult applied = run({"dev-junk", "--apply"});
  EXPECT_EQ(applied.out, expected + "  Cleaned " + web + " — moved to Trash (recoverable).\n");
  EXPECT_EQ(applied.err, "");
  EXPECT_EQ(applied.exit_code, 0);
  EXPECT_FALSE(exists_no_follow(at("Projects/web/build")));
  EXPECT_TRUE(exists_no_follow(at("Projects/tool/bin/tool")));
  EXPECT_TRUE(exists_no_follow(at("Projects/app/build/app.js")));
  EXPECT_EQ(sorted_entries(at(".local/share/Trash/files")), std::vector<std::string>{"build"});
}

TEST_F(DevJunkGit, PreviewPreservesTrackedBuildOutput) {
  const ProcessResult diff = run({"diff"});
  EXPECT_NE(diff.out.find("  " + at("Projects/tool/bin") + " ["), std::string::npos) << diff.out;
  EXPECT_NE(diff.out.find("- " + at("Projects/web/build") + " ["), std::string::npos) << diff.out;
  EXPECT_EQ(diff.exit_code, 0);
}

}  // namespace
}  // namespace orvc::testing
