// `orvc diff`: the dev-junk findings as a preview, safe items removed and risky ones preserved.
#include <gtest/gtest.h>

#include <vector>

#include "support/run_process.hpp"
#include "support/temp_home.hpp"

namespace orvc::testing {
namespace {

constexpr uint64_t kMiB = 1 << 20;
constexpr const char* kHeader = "--- a/disk (current)\n+++ b/disk (after cleanup, DRY RUN)\n";

class Diff : public ::testing::Test {
 protected:
  ProcessResult run(const std::vector<std::string>& args) {
    return run_orvc(args, home_.path(), {{"PATH", tools_.path()}});
  }
  std::string at(const std::string& relative) const { return home_ / relative; }

  TempDir home_;
  TempDir tools_;
};

TEST_F(Diff, NothingFound) {
  const ProcessResult result = run({"diff"});
  EXPECT_EQ(result.out,
            std::string(kHeader) + "\n0 files changed, -0 B space reclaimed (DRY RUN)\n");
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(run({"diff", "--dry-run"}).out, result.out);
}

TEST_F(Diff, SafeItemsAreRemovedAndRiskyOnesPreservedInReportOrder) {
  allocate_file(at(".npm/_cacache/index"), 3 * kMiB);
  allocate_file(at("Projects/old/node_modules/x.js"), 50 * kMiB);
  write_file(at("Projects/rs/Cargo.toml"), "");
  allocate_file(at("Projects/rs/target/app"), 25 * kMiB);
  allocate_file(at("Library/Developer/Xcode/Archives/a/App.xcarchive/dSYM"), 4 * kMiB);
  allocate_file(at("Library/Developer/Xcode/DerivedData/App-1/obj.o"), 2 * kMiB);
  allocate_file(at("Library/Caches/pip/wheel"), 1 * kMiB);

  const ProcessResult result = run({"diff"});
  EXPECT_EQ(result.out, kHeader + at_root(R"(- @/.npm/_cacache [3.0 MB]
- @/Projects/rs/target [25.0 MB]
- @/Library/Developer/Xcode/DerivedData/App-1 [2.0 MB]
- @/Library/Caches/pip [1.0 MB]
  @/Projects/old/node_modules [50.0 MB] (preserved — risky, not auto-selected)
  @/Library/Developer/Xcode/Archives/a [4.0 MB] (preserved — risky, not auto-selected)

4 files changed, -31.0 MB space reclaimed (DRY RUN)
)",
                                          home_.path()));
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.exit_code, 0);
  // A preview changes nothing and records nothing.
  EXPECT_TRUE(exists_no_follow(at("Projects/rs/target")));
  EXPECT_FALSE(exists_no_follow(at("Library/Application Support/com.orvanta.app/history")));
}

}  // namespace
}  // namespace orvc::testing
