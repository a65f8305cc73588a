// `orvc duplicates` end to end on fixture trees in a temporary home. The grouping rules
// themselves (sizes, hard links, last-byte differences, keeping the oldest) are unit-tested;
// here: the report, the diagnostics, and what the crawl never enters.
#include <fmt/format.h>
#include <gtest/gtest.h>

#include "support/run_process.hpp"
#include "support/temp_home.hpp"

namespace orvc::testing {
namespace {

// The "[dup-scan]" lines with each timing masked, keeping its decimals: "0.13s" is "#.##s".
std::string masked_timings(const std::string& err) {
  std::string out;
  for (size_t i = 0; i < err.size();) {
    const size_t dot = err.find_first_not_of("0123456789", i);
    const size_t end =
        dot == std::string::npos ? dot : err.find_first_not_of("0123456789", dot + 1);
    if (dot > i && end != std::string::npos && err[dot] == '.' && end > dot + 1 &&
        err[end] == 's') {
      out += "#." + std::string(end - dot - 1, '#') + "s";
      i = end + 1;
    } else {
      out += err[i++];
    }
  }
  return out;
}

std::string dup_scan_lines(const std::string& root, size_t crawled, size_t candidates,
                           size_t buckets, size_t groups) {
  return fmt::format(
      "[dup-scan] crawl: {0} files under [\"{1}\"] (skip_dev_dirs=true) in #.##s\n"
      "[dup-scan] size-group: {2} candidate files in {3} same-size buckets (of {0} crawled; 0 "
      "hard-link aliases skipped) in #.###s\n"
      "[dup-scan] hash+group: {4} duplicate groups from {2} candidates in #.##s (total scan "
      "#.##s)\n",
      crawled, root, candidates, buckets, groups);
}

class Duplicates : public ::testing::Test {
 protected:
  ProcessResult run() { return run_orvc({"duplicates", "--path", root}, home.path()); }
  std::string heading() const { return "Finding duplicates under " + root + "\n"; }

  TempDir home;
  const std::string root = home / "tree";
};

TEST_F(Duplicates, ThreeIdenticalMegabyteFilesMakeOneGroupKeepingTheOldest) {
  for (const char* name : {"a", "b", "c"}) write_sized_file(root + "/" + name, 1 << 20);
  set_mtime(root + "/b", 1000);
  set_mtime(root + "/a", 2000);
  set_mtime(root + "/c", 3000);
  std::vector<std::string> dups;  // the others, in the crawl's order
  for (const auto& name : listing_order(root)) {
    if (name != "b") dups.push_back(root + "/" + name);
  }
  const auto r = run();
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, heading() + "\n  3 × 1.0 MB  (reclaim 2.0 MB)\n    keep " + root + "/b\n" +
                       "    dup   " + dups[0] + "\n    dup   " + dups[1] +
                       "\n\n  1 duplicate groups, 2.0 MB reclaimable\n");
  EXPECT_EQ(masked_timings(r.err), dup_scan_lines(root, 3, 3, 1, 1));
}

TEST_F(Duplicates, SkippedFoldersAndSymbolicLinksAreNeverSeen) {
  write_sized_file(root + "/kept", 8192);
  for (const char* folder : {".git", "NODE_MODULES", "src/node_modules", "Library/Caches", ".Trash",
                             ".cache", "build"}) {
    write_sized_file(root + "/" + folder + "/twin", 8192);
  }
  make_symlink(root + "/kept", root + "/link-to-kept");
  const auto r = run();
  EXPECT_EQ(r.out, heading() + "  No duplicates found.\n");
  EXPECT_EQ(masked_timings(r.err), dup_scan_lines(root, 1, 0, 0, 0));
}

TEST_F(Duplicates, CopiesInsideAGitWorkingTreeAreMarkedUnlessIgnored) {
  make_dirs(root + "/repo/.git");
  write_file(root + "/repo/.gitignore", "ignored.bin\n");
  for (const char* name : {"repo/kept.bin", "repo/tracked.bin", "repo/ignored.bin", "plain.bin"}) {
    write_sized_file(root + "/" + name, 6000);
  }
  set_mtime(root + "/repo/kept.bin", 1000);
  const auto r = run();
  ASSERT_EQ(r.exit_code, 0);
  for (const std::string line :
       {"    keep @/repo/kept.bin [git-tracked]\n",
        "    dup   @/repo/tracked.bin [git-tracked — review before deleting]\n",
        "    dup   @/repo/ignored.bin\n", "    dup   @/plain.bin\n"}) {
    EXPECT_NE(r.out.find(at_root(line, root)), std::string::npos) << line << r.out;
  }
  EXPECT_TRUE(r.out.ends_with("\n  1 duplicate groups, 17.6 KB reclaimable\n")) << r.out;
}

TEST_F(Duplicates, SixtyGroupsShowTheFiftyLargestAndCountAll) {
  for (unsigned i = 1; i <= 60; ++i) {
    write_sized_file(fmt::format("{}/old-{}", root, i), 4096 * i, i);
    write_sized_file(fmt::format("{}/new-{}", root, i), 4096 * i, i);
    set_mtime(fmt::format("{}/old-{}", root, i), 1000);
  }
  const auto r = run();
  std::string expected = heading();
  for (unsigned i = 60; i > 10; --i) {
    expected += fmt::format(
        "\n  2 × {0}.0 KB  (reclaim {0}.0 KB)\n    keep {1}/old-{2}\n"
        "    dup   {1}/new-{2}\n",
        4 * i, root, i);
  }
  EXPECT_EQ(r.out, expected + "\n  60 duplicate groups, 7.1 MB reclaimable\n");
  EXPECT_EQ(masked_timings(r.err), dup_scan_lines(root, 120, 120, 60, 60));
}

}  // namespace
}  // namespace orvc::testing
