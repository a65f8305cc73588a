// Build output that Git keeps is the user's work: `dev-junk` marks it risky and `--apply`
// leaves it, while build output that the repository ignores stays safe to clean.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/run_process.hpp"
#include "support/temp_home.hpp"
#include "unit/junk/junk_fixture.hpp"

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

  std::string line(const std::string& relative, bool safe) {
    const std::string size = size_text(file_usage(at(relative)));
    return std::string("    ") + (safe ? "✓" : "!") + " " + std::string(10 - size.size(), ' ') +
           size + "  " + at(relative) + "\n";
  }

  std::string report() {
    const uint64_t app = file_usage(at("Projects/app/build"));
    const uint64_t tool = file_usage(at("Projects/tool/bin"));
    const uint64_t web = file_usage(at("Projects/web/build"));
    return "Developer Junk\n\n  Build Artifacts (" + size_text(app + tool + web) + ")\n" +
           line("Projects/app/build", false) + line("Projects/tool/bin", false) +
           line("Projects/web/build", true) + "\n  3 items, " + size_text(app + tool + web) +
           " total (" + size_text(web) + " safe-to-clean)\n";
  }

  TempDir home_;
  const std::string tools_ = home_ / "no-bin";
};

TEST_F(DevJunkGit, TrackedBuildOutputIsRiskyAndStaysWhenApplied) {
  const std::string expected = report();
  const std::string web = size_text(file_usage(at("Projects/web/build")));

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
