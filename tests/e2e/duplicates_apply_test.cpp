// `orvc duplicates --apply` end to end, and what clones and hard links really free, on an XFS
// volume with reflinks. The re-check of a copy changed between the report and its move is
// unit-tested (tests/unit/cli/duplicate_moves_test.cpp), where the change can be made at
// exactly that moment.
#include <fmt/format.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "support/run_process.hpp"
#include "support/temp_home.hpp"
#include "support/trash_home.hpp"

namespace orvc::testing {
namespace {

// 57 groups: the 50 that free most are shown, every one is applied.
TEST(DuplicatesApply, MovesTheExtraCopiesOfAllGroupsAndRecordsThem) {
  const TempDir home;
  const std::string root = home / "tree";
  const auto run = [&](std::vector<std::string> flags) {
    flags.insert(flags.begin(), {"duplicates", "--path", root});
    return run_orvc(flags, home.path());
  };
  const auto copy_of = [&](const std::string& name, uint64_t size, unsigned seed, int64_t mtime) {
    write_sized_file(root + "/" + name, size, seed);
    set_mtime(root + "/" + name, mtime);
  };
  std::string report = "Finding duplicates under " + root + "\n";
  for (unsigned i = 55; i >= 1; --i) {
    copy_of(fmt::format("old-{}", i), 4096 * i, i, 1000);
    copy_of(fmt::format("sub/new-{}", i), 4096 * i, i, 2000);
    if (i > 5)
      report += fmt::format(
          "\n  2 × {0}.0 KB  (reclaim {0}.0 KB)\n    keep {1}/old-{2}\n    dup   {1}/sub/new-{2}\n",
          4 * i, root, i);
  }
  report += "\n  57 duplicate groups, 6.0 MB reclaimable\n";
  copy_of("plain", 5000, 99, 1000);
  make_dirs(root + "/repo/.git");
  copy_of("repo/tracked", 5000, 99, 2000);
  copy_of("linked-kept", 6000, 98, 1000);
  copy_of("linked", 6000, 98, 2000);
  ASSERT_EQ(link((root + "/linked").c_str(), (home / "outside").c_str()), 0);

  EXPECT_EQ(run({}).out, report);
  EXPECT_EQ(run({"--dry-run"}).out, report);

  const auto r = run({"--apply"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, report +
                       "  Left alone: 1 git-tracked copies (--include-tracked moves them), 1 "
                       "copies that free nothing.\n"
                       "  Moved 55 copies to Trash (recoverable), freeing 6.0 MB.\n");
  EXPECT_TRUE(sorted_entries(root + "/sub").empty());
  EXPECT_EQ(sorted_entries(trash_files_of(home.path())).size(), 55u);
  EXPECT_NE(run_orvc({"history"}, home.path())
                .out.find("  duplicates  55 item(s), 6.0 MB, 55 in the Trash  id "),
            std::string::npos);

  const auto tracked = run({"--apply", "--include-tracked"});
  EXPECT_TRUE(tracked.out.ends_with(R"(  Left alone: 1 copies that free nothing.
  Moved 1 copies to Trash (recoverable), freeing 4.9 KB.
)")) << tracked.out;
  EXPECT_FALSE(exists_no_follow(root + "/repo/tracked"));
  for (const char* stays : {"plain", "linked", "linked-kept", "old-1", "old-55"})
    EXPECT_TRUE(exists_no_follow(root + "/" + stays)) << stays;
}

// Clones made with cp --reflink share their blocks with the kept copy; one that has since been
// partly rewritten (with the same bytes) frees what it no longer shares. A copy with a second
// name outside the scanned folder frees nothing.
TEST(DuplicatesApply, ClonesAndHardLinkedCopiesCountOnlyWhatTheyFree) {
  const TempDir home;
  make_dirs(home / "vol");
  const auto r =
      run_program({"unshare", "-m", "--propagation", "private", "/bin/sh", "-c", R"SH(
truncate -s 320M "$HOME/xfs.img" && mkfs.xfs -q -m reflink=1 "$HOME/xfs.img" &&
  mount -o loop "$HOME/xfs.img" "$HOME/vol" || exit 99
set -e
t="$HOME/vol/tree" && mkdir "$t"
head -c 200000 /dev/urandom > "$t/original"
cp --reflink=never "$t/original" "$t/copy"
cp --reflink=always "$t/original" "$t/clone"
cp --reflink=always "$t/original" "$t/partial"
dd if="$t/original" of="$t/partial" bs=65536 count=1 conv=notrunc status=none
head -c 100000 /dev/urandom > "$t/linked-kept"
cp --reflink=never "$t/linked-kept" "$t/linked"
ln "$t/linked" "$HOME/vol/outside"
touch -d @1000 "$t/original" "$t/linked-kept"
touch -d @2000 "$t/copy" "$t/clone" "$t/partial" "$t/linked"
sync
"$ORVC" duplicates --path "$t" 2>/dev/null
"$ORVC" duplicates --path "$t" --apply 2>/dev/null | tail -n 2
ls "$t"
)SH"},
                  orvc_options(home.path(),
                               {{"ORVC", ORVC_BINARY}, {"PATH", "/usr/sbin:/usr/bin:/sbin:/bin"}}));
  if (r.exit_code == 99) GTEST_SKIP() << "cannot mount an XFS image here: " << r.err;
  ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
  for (const std::string line :
       {"\n  4 × 195.3 KB  (reclaim 259.3 KB)\n    keep @/original\n", "    dup   @/copy\n",
        "    dup   @/clone (clone: frees 0 B)\n", "    dup   @/partial (clone: frees 64.0 KB)\n",
        "\n  2 × 97.7 KB  (reclaim 0 B)\n    keep @/linked-kept\n"
        "    dup   @/linked (hard-linked elsewhere: frees 0 B)\n",
        "\n  2 duplicate groups, 259.3 KB reclaimable\n"
        "  Left alone: 2 copies that free nothing.\n"
        "  Moved 2 copies to Trash (recoverable), freeing 259.3 KB.\n"
        "clone\nlinked\nlinked-kept\noriginal\n"})
    EXPECT_NE(r.out.find(at_root(line, home / "vol/tree")), std::string::npos) << line << "\n"
                                                                               << r.out;
}

}  // namespace
}  // namespace orvc::testing
