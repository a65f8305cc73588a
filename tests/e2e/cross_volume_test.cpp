// Moves and restores across file systems. Each case mounts a tmpfs at HOME/vol in a private mount
// namespace of this test process (the programs it starts inherit it), with a file in place of
// the volume's own Trash, so that items go to the home Trash by copy; skipped where mounting is
// not permitted. How each kind of entry is copied, and that only unchanged entries are removed
// after a copy, is unit-tested (copy_tree_test); here, the whole commands.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <tuple>

#include "removal_support.hpp"
#include "support/killed_run.hpp"

namespace orvc::testing {
namespace {

using ::testing::ElementsAre;

const std::string kBlockedVolumeTrash = ".Trash-" + std::to_string(getuid());

class AcrossFileSystems : public RestoreTest {
 protected:
  void SetUp() override {
    vol = home / "vol";
    make_dirs(vol);
    if (unshare(CLONE_NEWNS) != 0) {
      GTEST_SKIP() << "no private mount namespace: " << std::strerror(errno);
    }
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount("tmpfs", vol.c_str(), "tmpfs", 0, "size=256m") != 0) {
      GTEST_SKIP() << "cannot mount a tmpfs: " << std::strerror(errno);
    }
    mounted = true;
    if (device_of(vol) == device_of(home.path())) GTEST_SKIP() << "the tmpfs is not separate";
    write_file(vol + "/" + kBlockedVolumeTrash, "");
  }
  void TearDown() override {
    if (mounted) umount2(vol.c_str(), MNT_DETACH);
  }

  // A shell script run in the same mount namespace, with $ORVC and $UID_ set.
  ProcessResult script(const std::string& text) {
    return run_program({"/bin/sh", "-c", "set -e\n" + text},
                       orvc_options(home.path(), {{"ORVC", ORVC_BINARY},
                                                  {"UID_", std::to_string(getuid())},
                                                  {"PATH", "/usr/sbin:/usr/bin:/sbin:/bin"}}));
  }

  std::string vol;
  bool mounted = false;
};

// Delete copies items into the home Trash and restore copies them back as they were; an item
// that cannot be copied stays whole, and a path taken again keeps the Trash copy.
TEST_F(AcrossFileSystems, ItemsAreCopiedIntoTheTrashAndBackAsTheyWere) {
  const std::string file = vol + "/data/f.bin", folder = vol + "/data/tree";
  const std::string taken = vol + "/g.txt", refused = vol + "/run";
  write_sized_file(file, 200000, 9);
  write_file(folder + "/a.txt", "a");
  write_file(folder + "/deep/b.txt", "b");
  ASSERT_EQ(link((folder + "/a.txt").c_str(), (folder + "/deep/a-link").c_str()), 0);
  make_symlink("a.txt", folder + "/to-a");
  make_symlink("/nonexistent/target", folder + "/dangling");
  chmod(file.c_str(), 0604);
  chmod((folder + "/a.txt").c_str(), 0640);
  write_file(taken, "old");
  write_file(refused + "/log.txt", "log");
  ASSERT_EQ(mkfifo((refused + "/control").c_str(), 0600), 0);
  write_file(trash_files("tree"), "already here");
  const std::string bytes = read_file(file);
  const std::string before = snapshot(vol + "/data");
  const std::string info = home / ".local/share/Trash/info";

  const auto deleted = delete_paths({file, folder, taken, refused});
  EXPECT_EQ(
      std::tie(deleted.exit_code, deleted.out, deleted.err),
      std::tuple(1, plan({file, folder, taken, refused}),
                 could_not_remove(refused, "move to ~/.Trash failed: cannot copy '" + refused +
                                               "/control': not a regular file, folder or "
                                               "symbolic link")));
  EXPECT_EQ(read_file(refused + "/log.txt"), "log");
  EXPECT_EQ(read_file(trash_files("f.bin")), bytes);
  EXPECT_EQ(read_file(trash_files("tree")), "already here");
  EXPECT_THAT(sorted_entries(trash_files()), ElementsAre("f.bin", "g.txt", "tree", "tree 2"));
  EXPECT_THAT(sorted_entries(info),
              ElementsAre("f.bin.trashinfo", "g.txt.trashinfo", "tree 2.trashinfo"));

  write_file(taken, "new");
  // What an interrupted restore would have left beside the destination.
  write_file(vol + "/data/.f.bin.orvc-partial", "half");
  const auto r = orvc({"restore", file, folder, taken});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.out, "Restoring from Trash: 3 item(s)\n  restored " + file + "\n  restored " +
                       folder + "\n  left " + taken + "\n");
  EXPECT_EQ(r.err,
            "  Some items could not be restored: Restored 2 of 3 item(s) with 1 issue(s). '" +
                taken + "' exists; left in the Trash as 'g.txt'\n");
  EXPECT_EQ(snapshot(vol + "/data"), before);
  EXPECT_EQ(read_file(file), bytes);
  EXPECT_EQ(read_file(taken), "new");
  EXPECT_THAT(sorted_entries(vol), ElementsAre(kBlockedVolumeTrash, "data", "g.txt", "run"));
  EXPECT_THAT(sorted_entries(trash_files()), ElementsAre("g.txt", "tree"));
  EXPECT_EQ(read_file(trash_files("g.txt")), "old");
  EXPECT_EQ(sorted_entries(info), std::vector<std::string>{"g.txt.trashinfo"});
}

TEST_F(AcrossFileSystems, RestoreKilledDuringTheCopyLeavesTheItemWholeInOnePlace) {
  const std::string file = vol + "/big.bin";
  write_sized_file(file, uint64_t{48} << 20, 4);
  const std::string bytes = read_file(file);
  const std::string id = delete_run({file});
  const std::string partial = vol + "/.big.bin.orvc-partial";

  signal_when_busy(orvc_command({"restore", id}), options(),
                   [&](pid_t) { return exists_no_follow(partial); }, {SIGKILL});

  const bool in_trash = exists_no_follow(trash_files("big.bin")), in_place = exists_no_follow(file);
  ASSERT_TRUE(in_trash || in_place);
  EXPECT_EQ(in_trash ? read_file(trash_files("big.bin")) : bytes, bytes);
  EXPECT_EQ(in_place ? read_file(file) : bytes, bytes);

  // Killed between the rename into place and emptying the Trash entry: both are whole, and the
  // taken path keeps the Trash copy. Otherwise the next restore finishes the job and tidies the
  // partial copy.
  if (in_trash && in_place) return;
  EXPECT_EQ(orvc({"restore", id}).exit_code, 0);
  EXPECT_EQ(read_file(file), bytes);
  EXPECT_FALSE(exists_no_follow(partial) || exists_no_follow(trash_files("big.bin")));
}

TEST_F(AcrossFileSystems, ItemsGoToTheirVolumesTrashWhereOtherToolsAndRestoreSeeThem) {
  const auto r = script(R"SH(
V="$HOME/vol"; T="$V/.Trash-$UID_"
rm "$T"
mkdir -p "$V/proj/sub"; printf 'data' > "$V/proj/a.txt"; ln "$V/proj/a.txt" "$V/proj/sub/b.txt"
"$ORVC" delete "$V/proj"
echo "home trash: $(ls -A "$HOME/.local/share/Trash/files" 2>/dev/null)"
echo "links: $(stat -c %h "$T/files/proj/a.txt")"
grep Path "$T/info/proj.trashinfo"
stat -c 'mode %a' "$T"
trash-list | sed 's/^[^ ]* [^ ]* //'
echo 0 | trash-restore "$V/proj" > /dev/null
cat "$V/proj/sub/b.txt"; echo
echo "left: $(ls -A "$T/files")"
# What orvc or another Trash tool put there, history sees and restore puts back.
mkdir -p "$V/a"; printf one > "$V/a/one.txt"; printf two > "$V/a/two.txt"
"$ORVC" delete "$V/a/one.txt" > /dev/null
trash-put "$V/a/two.txt"
"$ORVC" history | grep -c '1 in the Trash'
"$ORVC" restore "$V/a/one.txt" "$V/a/two.txt" > /dev/null
cat "$V/a/one.txt" "$V/a/two.txt"; echo
echo "left: $(ls -A "$T/files")"
# A shared sticky .Trash at the top takes precedence, holding the user's own folder.
mkdir -m 1777 "$V/.Trash"; printf 'x' > "$V/x.txt"
"$ORVC" delete "$V/x.txt" > /dev/null
cat "$V/.Trash/$UID_/files/x.txt"; echo
)SH");
  ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
  EXPECT_EQ(r.out, plan({home / "vol/proj"}) + kDone +
                       "home trash: \nlinks: 2\nPath=proj\nmode 700\n" +
                       home / "vol/proj\ndata\nleft: \n1\nonetwo\nleft: \nx\n");
}

// A copy that cannot be completed leaves the item whole and nothing in the Trash.
TEST_F(AcrossFileSystems, AFullTrashVolumeLeavesTheItemWhole) {
  const auto r = script(R"SH(
mkdir -p "$HOME/small"
mount -t tmpfs -o size=1m tmpfs "$HOME/small"
trap 'umount "$HOME/small"' EXIT
export XDG_DATA_HOME="$HOME/small"
head -c 3000000 /dev/urandom > "$HOME/big.bin"
cp "$HOME/big.bin" "$HOME/big.copy"
"$ORVC" delete "$HOME/big.bin" > /dev/null 2> "$HOME/err.txt" && echo "unexpected success"
cmp "$HOME/big.bin" "$HOME/big.copy" && echo whole
echo "trash: $(ls -A "$HOME/small/Trash/files") records: $(ls -A "$HOME/small/Trash/info")"
grep -c 'No space left on device' "$HOME/err.txt"
)SH");
  EXPECT_EQ(std::tie(r.exit_code, r.out), std::tuple(0, "whole\ntrash:  records: \n1\n")) << r.err;
}

// Killed at any moment of a copy, a run leaves the item whole in place or whole in the Trash;
// the next run tidies the partial copy and the record without an item.
TEST_F(AcrossFileSystems, DeleteKilledDuringACopyLosesNothing) {
  const auto r = script(R"SH(
head -c 67108864 /dev/urandom > "$HOME/vol/reference"
T="$HOME/.local/share/Trash"
for delay in 0.01 0.05 0.1 0.2 0.4; do
  cp "$HOME/vol/reference" "$HOME/vol/big"
  "$ORVC" delete "$HOME/vol/big" > /dev/null 2>&1 &
  sleep $delay
  kill -9 $! 2>/dev/null || true
  wait $! 2>/dev/null || true
  if [ -e "$HOME/vol/big" ]; then
    cmp -s "$HOME/vol/reference" "$HOME/vol/big" || echo "$delay: partly removed"
  else
    cmp -s "$HOME/vol/reference" "$T/files/big" || echo "$delay: gone but not whole in the Trash"
  fi
  # Records of a killed run are tidied once an hour old; age them.
  touch -c -d '2 hours ago' "$T"/info/*.trashinfo
  mkdir -p "$HOME/empty" && "$ORVC" delete "$HOME/empty" > /dev/null
  if ls -A "$T/files" | grep -q orvc-partial; then echo "$delay: partial copy left"; fi
  for f in "$T"/info/*.trashinfo; do
    name=$(basename "$f" .trashinfo)
    if [ "$name" != '*' ] && [ ! -e "$T/files/$name" ]; then echo "$delay: record without item"; fi
  done
  rm -rf "$T" "$HOME/vol/big"
done
echo checked
)SH");
  EXPECT_EQ(std::tie(r.exit_code, r.out), std::tuple(0, "checked\n")) << r.err;
}

}  // namespace
}  // namespace orvc::testing
