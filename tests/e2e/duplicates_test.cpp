// `orvc duplicates` end to end on fixture trees in a temporary home. The grouping rules
// themselves (sizes, hard links, last-byte differences, keeping the oldest) are unit-tested;
// here: the report, the diagnostics, what the crawl never enters, and one file seen twice.
#include <gmock/gmock.h>

#include "support/run_process.hpp"
#include "support/temp_home.hpp"

namespace orvc::testing {
namespace {

using ::testing::HasSubstr;

TEST(Duplicates, OneGroupKeepsTheOldestAndSkippedFoldersAndLinksAreNeverSeen) {
  const TempDir home;
  const std::string root = home / "tree";
  for (const char* name : {"a", "b", "c", "src/.git/b", "NODE_MODULES/b", "src/node_modules/b",
                           "Library/Caches/b", ".Trash/b", ".cache/b", "build/b"})
    write_sized_file(root + "/" + name, 1 << 20);
  make_symlink(root + "/b", root + "/link-to-b");
  for (const auto& [name, time] : {std::pair{"b", 1000}, {"a", 2000}, {"c", 3000}})
    set_mtime(root + "/" + name, time);
  std::string copies;  // in the crawl's order
  for (const auto& name : listing_order(root))
    if (name == "a" || name == "c") copies += "    dup   " + root + "/" + name + "\n";
  const auto r = run_orvc({"duplicates", "--path", root}, home.path());
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "Finding duplicates under " + root + "\n\n  3 × 1.0 MB  (reclaim 2.0 MB)\n" +
                       "    keep " + root + "/b\n" + copies +
                       "\n  1 duplicate groups, 2.0 MB reclaimable\n");
  // The stage lines themselves are unit-tested.
  EXPECT_THAT(r.err, HasSubstr("[dup-scan] crawl: 3 files under [\"" + root + "\"]"));
}

// A folder bind-mounted inside the scanned tree shows each of its files twice with one link
// each; none of them is a copy of itself.
TEST(Duplicates, BindMountedFolderInsideTheRootHoldsNoCopiesOfItself) {
  const TempDir home;
  const std::string root = home / "tree";
  make_dirs(root + "/view");
  // a.bin and b.bin hold the same bytes: a real copy.
  for (const char* name : {"a.bin", "b.bin"}) write_sized_file(root + "/real/" + name, 8192);
  write_sized_file(root + "/real/only.bin", 9000);
  set_mtime(root + "/real/a.bin", 1000);
  set_mtime(root + "/real/b.bin", 2000);
  // The mount lives in a private mount namespace and ends with the process.
  const auto r =
      run_program({"/usr/bin/unshare", "-m", "/bin/sh", "-c",
                   "mount --bind \"$1\" \"$2\" || exit 99; shift 2; exec \"$@\"", "sh",
                   root + "/real", root + "/view", ORVC_BINARY, "duplicates", "--path", root},
                  orvc_options(home.path(), {{"PATH", "/usr/bin:/bin"}}));
  if (r.exit_code == 99 || r.err.starts_with("unshare:"))
    GTEST_SKIP() << "no bind mounts in a mount namespace here: " << r.err;
  ASSERT_EQ(r.exit_code, 0) << r.err;
  // Each file is kept under the name the crawl met first; only.bin has no copy at all.
  const std::string seen = root + "/" + listing_order(root).at(0);  // "real" or "view"
  EXPECT_EQ(r.out, "Finding duplicates under " + root + "\n\n  2 × 8.0 KB  (reclaim 8.0 KB)\n" +
                       "    keep " + seen + "/a.bin\n    dup   " + seen +
                       "/b.bin\n\n  1 duplicate groups, 8.0 KB reclaimable\n");
  EXPECT_THAT(r.err, HasSubstr("(of 6 crawled; 3 hard-link aliases skipped)"));
}

}  // namespace
}  // namespace orvc::testing
