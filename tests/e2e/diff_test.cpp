#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "support/run_process.hpp"
#include "support/temp_home.hpp"
#include "unit/junk/junk_fixture.hpp"

namespace orvc::testing {
namespace {

constexpr uint64_t kMiB = 1 << 20;
constexpr const char* kHeader = "--- a/disk (current)\n+++ b/disk (after cleanup, DRY RUN)\n";

// The item lines of a dev-junk report: "✓"/"!", the size text and the path.
struct ReportedItem {
  bool safe;
  std::string size;
  std::string path;
};

std::vector<ReportedItem> reported_items(const std::string& report) {
  std::vector<ReportedItem> items;
  std::istringstream lines(report);
  for (std::string line; std::getline(lines, line);) {
    const bool safe = line.starts_with("    ✓ ");
    if (!safe && !line.starts_with("    ! ")) continue;
    const size_t mark_end = line.find(' ', 4) + 1;
    const std::string field = line.substr(mark_end, 10);
    items.push_back({safe, field.substr(field.find_first_not_of(' ')), line.substr(mark_end + 12)});
  }
  return items;
}

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

TEST_F(Diff, RemovedAndPreservedMatchTheDevJunkReport) {
  allocate_file(at(".npm/_cacache/index"), 3 * kMiB);
  allocate_file(at("Projects/old/node_modules/x.js"), 50 * kMiB);
  write_file(at("Projects/rs/Cargo.toml"), "");
  allocate_file(at("Projects/rs/target/app"), 25 * kMiB);
  allocate_file(at("Library/Developer/Xcode/Archives/a/App.xcarchive/dSYM"), 4 * kMiB);
  allocate_file(at("Library/Developer/Xcode/DerivedData/App-1/obj.o"), 2 * kMiB);
  allocate_file(at("Library/Caches/pip/wheel"), 1 * kMiB);

  const ProcessResult report = run({"dev-junk"});
  const std::vector<ReportedItem> items = reported_items(report.out);
  ASSERT_EQ(items.size(), 6u);
  std::string removed, preserved;
  size_t removed_count = 0;
  for (const ReportedItem& item : items) {
    if (item.safe) {
      removed += "- " + item.path + " [" + item.size + "]\n";
      ++removed_count;
    } else {
      preserved +=
          "  " + item.path + " [" + item.size + "] (preserved — risky, not auto-selected)\n";
    }
  }
  const size_t summary = report.out.find(" total (") + 8;
  const std::string safe_total =
      report.out.substr(summary, report.out.find(" safe-to-clean)", summary) - summary);
  EXPECT_EQ(safe_total,
            size_text(file_usage(at(".npm/_cacache")) + file_usage(at("Projects/rs/target")) +
                      file_usage(at("Library/Developer/Xcode/DerivedData/App-1")) +
                      file_usage(at("Library/Caches/pip"))));

  const ProcessResult result = run({"diff"});
  EXPECT_EQ(result.out, kHeader + removed + preserved + "\n" + std::to_string(removed_count) +
                            " files changed, -" + safe_total + " space reclaimed (DRY RUN)\n");
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.exit_code, 0);
  // A preview changes nothing and records nothing.
  EXPECT_TRUE(exists_no_follow(at("Projects/rs/target")));
  EXPECT_FALSE(exists_no_follow(at("Library/Application Support/com.orvanta.app/history")));
}

TEST_F(Diff, OnlyRiskyItems) {
  allocate_file(at(".conda/pkgs/numpy.tar"), 2 * kMiB);
  const ProcessResult result = run({"diff"});
  EXPECT_EQ(result.out, std::string(kHeader) + "  " + at(".conda/pkgs") +
                            " [2.0 MB] (preserved — risky, not auto-selected)\n\n"
                            "0 files changed, -0 B space reclaimed (DRY RUN)\n");
}

}  // namespace
}  // namespace orvc::testing
