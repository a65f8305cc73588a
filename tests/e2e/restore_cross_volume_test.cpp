// Restores across file systems: the original folder is a tmpfs mounted in a private mount
// namespace of this test process (the orvc it starts inherits it), the Trash is not.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "restore_support.hpp"
#include "support/killed_run.hpp"

namespace orvc::testing {
namespace {

const std::string kBlockedVolumeTrash = ".Trash-" + std::to_string(getuid());

class RestoreAcrossFileSystems : public RestoreTest {
 protected:
  void SetUp() override {
    far = home / "far";
    make_dirs(far);
    if (unshare(CLONE_NEWNS) != 0) {
      GTEST_SKIP() << "no private mount namespace: " << std::strerror(errno);
    }
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount("tmpfs", far.c_str(), "tmpfs", 0, "size=64m") != 0) {
      GTEST_SKIP() << "cannot mount a tmpfs: " << std::strerror(errno);
    }
    mounted = true;
    if (device_of(far) == device_of(home.path())) GTEST_SKIP() << "the tmpfs is not separate";
    // A file where the volume's own Trash would be sends items to the home Trash, by copy.
    write_file(far + "/" + kBlockedVolumeTrash, "");
  }
  void TearDown() override {
    if (mounted) umount2(far.c_str(), MNT_DETACH);
  }

  std::string far;
  bool mounted = false;
};

TEST_F(RestoreAcrossFileSystems, ItemsAreCopiedBackAndLeaveTheTrash) {
  const std::string file = far + "/data/f.bin";
  const std::string folder = far + "/data/tree";
  write_sized_file(file, 200000, 9);
  write_file(folder + "/a.txt", "a");
  make_symlink("a.txt", folder + "/to-a");
  chmod(file.c_str(), 0604);
  chmod((folder + "/a.txt").c_str(), 0640);
  const std::string bytes = read_file(file);

  const std::string id = delete_run({file, folder});
  ASSERT_EQ(read_file(trash_files("f.bin")), bytes);
  // What an interrupted restore would have left beside the destination.
  write_file(far + "/data/.f.bin.orvc-partial", "half");

  const auto r = orvc({"restore", id});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, restored_report({file, folder}));
  EXPECT_EQ(read_file(file), bytes);
  EXPECT_EQ(facts_of(file).mode & 07777, 0604u);
  EXPECT_EQ(read_file(folder + "/a.txt"), "a");
  EXPECT_EQ(facts_of(folder + "/a.txt").mode & 07777, 0640u);
  EXPECT_EQ(facts_of(folder + "/to-a").link_target, "a.txt");
  EXPECT_EQ(sorted_entries(far + "/data"), (std::vector<std::string>{"f.bin", "tree"}));
  EXPECT_EQ(sorted_entries(trash_files()), std::vector<std::string>{});
  EXPECT_EQ(trash_list(), "");
}

TEST_F(RestoreAcrossFileSystems, ATakenPathStaysInTheTrashWithNoPartialCopyLeft) {
  const std::string file = far + "/g.txt";
  write_file(file, "old");
  const std::string id = delete_run({file});
  write_file(file, "new");
  const auto r = orvc({"restore", id});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(read_file(file), "new");
  EXPECT_EQ(sorted_entries(far), (std::vector<std::string>{kBlockedVolumeTrash, "g.txt"}));
  EXPECT_EQ(read_file(trash_files("g.txt")), "old");
}

TEST_F(RestoreAcrossFileSystems, KilledDuringTheCopyTheItemIsWholeInOnePlace) {
  constexpr uint64_t kSize = uint64_t{48} << 20;
  const std::string file = far + "/big.bin";
  write_sized_file(file, kSize, 4);
  const std::string bytes = read_file(file);
  const std::string id = delete_run({file});
  const std::string partial = far + "/.big.bin.orvc-partial";

  kill_when(start_orvc({"restore", id}, home.path()), [&] { return exists_no_follow(partial); });

  const bool in_trash = exists_no_follow(trash_files("big.bin"));
  const bool in_place = exists_no_follow(file);
  ASSERT_TRUE(in_trash || in_place);
  EXPECT_EQ(in_trash ? read_file(trash_files("big.bin")) : bytes, bytes);
  EXPECT_EQ(in_place ? read_file(file) : bytes, bytes);

  // Killed between the rename into place and emptying the Trash entry: both are whole, and the
  // taken path keeps the Trash copy. Otherwise the next restore finishes the job and tidies the
  // partial copy.
  if (in_trash && in_place) return;
  const auto r = orvc({"restore", id});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(read_file(file), bytes);
  EXPECT_FALSE(exists_no_follow(partial));
  EXPECT_FALSE(exists_no_follow(trash_files("big.bin")));
}

}  // namespace
}  // namespace orvc::testing
