// One file reached through two paths is one file: a folder bind-mounted inside the scanned tree
// shows every file in it twice with one link each, and none of them is a copy of itself.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/run_process.hpp"
#include "support/temp_home.hpp"

namespace orvc::testing {
namespace {

constexpr const char* kUnshare = "/usr/bin/unshare";

// Runs `command` (arguments after the two folders) in a private mount namespace in which
// `folder` is also mounted at `view`; the mount ends with the process. Exit 99: mount failed.
ProcessResult run_with_bind_mount(const std::string& folder, const std::string& view,
                                  const std::vector<std::string>& command,
                                  const std::string& home) {
  ProcessOptions options;
  options.env = {{"HOME", home}, {"XDG_DATA_HOME", home + "/.local/share"}, {"NO_COLOR", "1"}};
  options.working_dir = home;
  std::vector<std::string> argv = {kUnshare,
                                   "-m",
                                   "/bin/sh",
                                   "-c",
                                   "mount --bind \"$1\" \"$2\" || exit 99; shift 2; exec \"$@\"",
                                   "sh",
                                   folder,
                                   view};
  argv.insert(argv.end(), command.begin(), command.end());
  return run_program(argv, options);
}

TEST(SameFileTwice, BindMountedFolderInsideTheRootHoldsNoCopiesOfItself) {
  const TempDir home;
  const std::string root = home / "tree";
  make_dirs(root + "/view");
  write_sized_file(root + "/real/a.bin", 8192);
  write_sized_file(root + "/real/b.bin", 8192);  // the same bytes: a real copy
  write_sized_file(root + "/real/only.bin", 9000);
  set_mtime(root + "/real/a.bin", 1000);
  set_mtime(root + "/real/b.bin", 2000);

  const TempDir probe;
  make_dirs(probe / "a");
  make_dirs(probe / "b");
  const auto probed = run_with_bind_mount(probe / "a", probe / "b", {"true"}, probe.path());
  if (probed.exit_code != 0) {
    GTEST_SKIP() << "bind mounts in a private mount namespace are not permitted here: "
                 << probed.err;
  }

  const auto r = run_with_bind_mount(root + "/real", root + "/view",
                                     {ORVC_BINARY, "duplicates", "--path", root}, home.path());
  ASSERT_EQ(r.exit_code, 0) << r.err;
  // Each file is kept under the name the crawl met first; only.bin has no copy at all.
  const std::string seen = root + "/" + listing_order(root).at(0);  // "real" or "view"
  EXPECT_EQ(r.out, "Finding duplicates under " + root +
                       "\n\n  2 × 8.0 KB  (reclaim 8.0 KB)\n    keep " + seen +
                       "/a.bin\n    dup   " + seen +
                       "/b.bin\n\n  1 duplicate groups, 8.0 KB reclaimable\n");
  EXPECT_NE(r.err.find("[dup-scan] crawl: 6 files under"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("2 candidate files in 1 same-size buckets (of 6 crawled; 3 hard-link "
                       "aliases skipped)"),
            std::string::npos)
      << r.err;
}

}  // namespace
}  // namespace orvc::testing
