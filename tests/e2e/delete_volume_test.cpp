// Items on another file system than the home folder: the volume's own Trash, and the copy into
// the home Trash when no volume Trash can be used. Each case runs in a private mount namespace
// with a tmpfs at HOME/vol, and is skipped where mounting is not permitted.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "delete_support.hpp"

namespace orvc::testing {
namespace {

using ::testing::HasSubstr;

class VolumeTest : public DeleteTest {
 protected:
  void SetUp() override {
    make_dirs(home / "vol");
    const auto probe = in_namespace("true");
    if (probe.exit_code != 0) GTEST_SKIP() << "cannot mount in a private namespace: " << probe.err;
  }

  // The script runs with $ORVC, $HOME, $XDG_DATA_HOME and $UID_ set, after HOME/vol (and, with a
  // size for it, HOME/small) are mounted.
  ProcessResult in_namespace(const std::string& script, const std::string& small_size = "") {
    std::string mounts = "mount -t tmpfs -o size=256m tmpfs \"$HOME/vol\" || exit 99\n";
    if (!small_size.empty()) {
      make_dirs(home / "small");
      mounts += "mount -t tmpfs -o size=" + small_size + " tmpfs \"$HOME/small\" || exit 99\n";
    }
    ProcessOptions options;
    options.env = {{"HOME", home.path()},
                   {"XDG_DATA_HOME", home / ".local/share"},
                   {"NO_COLOR", "1"},
                   {"ORVC", ORVC_BINARY},
                   {"UID_", std::to_string(getuid())},
                   {"PATH", "/usr/sbin:/usr/bin:/sbin:/bin"}};
    options.working_dir = home.path();
    return run_program({"unshare", "-m", "--propagation", "private", "/bin/sh", "-c",
                        "set -e\n" + mounts + script},
                       options);
  }
};

TEST_F(VolumeTest, ItemsGoToTheirVolumesTrashWhereOtherToolsAndRestoreSeeThem) {
  const auto r = in_namespace(R"SH(
mkdir -p "$HOME/vol/proj/sub"
printf 'data' > "$HOME/vol/proj/a.txt"
ln "$HOME/vol/proj/a.txt" "$HOME/vol/proj/sub/b.txt"
"$ORVC" delete "$HOME/vol/proj" > "$HOME/out.txt"
cat "$HOME/out.txt"
echo "home trash: $(ls -A "$HOME/.local/share/Trash/files" 2>/dev/null)"
echo "links: $(stat -c %h "$HOME/vol/.Trash-$UID_/files/proj/a.txt")"
grep Path "$HOME/vol/.Trash-$UID_/info/proj.trashinfo"
stat -c 'mode %a' "$HOME/vol/.Trash-$UID_"
trash-list | sed 's/^[^ ]* [^ ]* //'
echo 0 | trash-restore "$HOME/vol/proj" > /dev/null
cat "$HOME/vol/proj/sub/b.txt"; echo
echo "left: $(ls -A "$HOME/vol/.Trash-$UID_/files")"
# What orvc or another Trash tool put there, history sees and restore puts back.
mkdir -p "$HOME/vol/a"
printf one > "$HOME/vol/a/one.txt"
printf two > "$HOME/vol/a/two.txt"
"$ORVC" delete "$HOME/vol/a/one.txt" > /dev/null
trash-put "$HOME/vol/a/two.txt"
"$ORVC" history | grep -c '1 in the Trash'
"$ORVC" restore "$HOME/vol/a/one.txt" "$HOME/vol/a/two.txt" > /dev/null
cat "$HOME/vol/a/one.txt" "$HOME/vol/a/two.txt"; echo
echo "left: $(ls -A "$HOME/vol/.Trash-$UID_/files")"
)SH");
  ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
  EXPECT_EQ(r.out, plan({home / "vol/proj"}) + kDone +
                       "home trash: \n"
                       "links: 2\n"
                       "Path=proj\n"
                       "mode 700\n" +
                       home.path() + "/vol/proj\n" +
                       "data\n"
                       "left: \n"
                       "1\n"
                       "onetwo\n"
                       "left: \n");
}

TEST_F(VolumeTest, ASharedStickyTrashFolderHoldsTheUsersOwn) {
  const auto r = in_namespace(R"SH(
mkdir -m 1777 "$HOME/vol/.Trash"
printf 'x' > "$HOME/vol/x.txt"
"$ORVC" delete "$HOME/vol/x.txt" > /dev/null
cat "$HOME/vol/.Trash/$UID_/files/x.txt"; echo
)SH");
  ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
  EXPECT_EQ(r.out, "x\n");
}

// A file written to while its folder is copied home is never reported as moved: what changed
// stays in place, everything else is whole in the Trash, and the run fails.
TEST_F(VolumeTest, AFileAppendedToDuringTheCopyIsNeverLost) {
  const auto r = in_namespace(R"SH(
printf 'not a folder' > "$HOME/vol/.Trash-$UID_"
mkdir -p "$HOME/vol/proj"
head -c 67108864 /dev/urandom > "$HOME/vol/proj/big.bin"
cp "$HOME/vol/proj/big.bin" "$HOME/reference"
"$ORVC" delete "$HOME/vol/proj" > /dev/null 2> "$HOME/err.txt" &
pid=$!
n=0
while kill -0 $pid 2>/dev/null; do
  if [ -d "$HOME/vol/proj" ]; then echo "line $n" >> "$HOME/vol/proj/log.txt" 2>/dev/null || true; fi
  n=$((n+1))
done
wait $pid && status=0 || status=$?
T="$HOME/.local/share/Trash/files/proj"
if [ $status -eq 0 ]; then
  [ ! -e "$HOME/vol/proj" ] && echo "all moved"
else
  grep -q 'changed while it was copied' "$HOME/err.txt" && echo "failure reported"
  [ -s "$HOME/vol/proj/log.txt" ] && echo "the changed file stays"
fi
if [ -e "$HOME/vol/proj/big.bin" ]; then B="$HOME/vol/proj/big.bin"; else B="$T/big.bin"; fi
cmp -s "$B" "$HOME/reference" && echo "big.bin whole"
)SH");
  ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
  EXPECT_TRUE(r.out == "all moved\nbig.bin whole\n" ||
              r.out == "failure reported\nthe changed file stays\nbig.bin whole\n")
      << r.out;
}

// A copy that cannot be completed leaves the item whole and nothing in the Trash.
TEST_F(VolumeTest, AFullTrashVolumeLeavesTheItemWhole) {
  const auto r = in_namespace(R"SH(
export XDG_DATA_HOME="$HOME/small"
head -c 3000000 /dev/urandom > "$HOME/big.bin"
cp "$HOME/big.bin" "$HOME/big.copy"
"$ORVC" delete "$HOME/big.bin" > /dev/null 2> "$HOME/err.txt" && echo "unexpected success"
cmp "$HOME/big.bin" "$HOME/big.copy" && echo whole
echo "trash: $(ls -A "$HOME/small/Trash/files") records: $(ls -A "$HOME/small/Trash/info")"
grep -c 'No space left on device' "$HOME/err.txt"
)SH",
                              "1m");
  ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
  EXPECT_EQ(r.out, "whole\ntrash:  records: \n1\n");
}

// Killed at any moment of a copy, a run leaves the item whole in place or whole in the Trash;
// the next run tidies the partial copy and the record without an item.
TEST_F(VolumeTest, AKillDuringACopyLosesNothing) {
  const auto r = in_namespace(R"SH(
printf 'not a folder' > "$HOME/vol/.Trash-$UID_"
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
  for f in "$T"/info/*.trashinfo; do
    if [ -e "$f" ]; then touch -d '2 hours ago' "$f"; fi
  done
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
  ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
  EXPECT_EQ(r.out, "checked\n");
}

}  // namespace
}  // namespace orvc::testing
