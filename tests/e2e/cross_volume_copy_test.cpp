// What a move into a Trash on another file system keeps: hard links, holes, times and modes,
// with the source removed and no "changed while it was copied" failure.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "delete_support.hpp"

namespace orvc::testing {
namespace {

constexpr const char* kSecondFileSystem = "/dev/shm";

struct stat metadata_of(const std::string& path) {
  struct stat metadata {};
  EXPECT_EQ(lstat(path.c_str(), &metadata), 0) << path;
  return metadata;
}

class CrossVolumeCopy : public DeleteTest {
 protected:
  void SetUp() override {
    std::string pattern = std::string(kSecondFileSystem) + "/orvc-test-XXXXXX";
    struct stat second {};
    if (stat(kSecondFileSystem, &second) != 0 || !mkdtemp(pattern.data())) {
      GTEST_SKIP() << kSecondFileSystem << " is not available as a second file system";
    }
    far_home = pattern;
    if (metadata_of(far_home).st_dev == metadata_of(home.path()).st_dev) {
      GTEST_SKIP() << kSecondFileSystem << " is on the same file system as " << home.path();
    }
    make_dirs(far_home + "/no-bin");
  }
  void TearDown() override {
    if (!far_home.empty()) remove_tree(far_home);
  }
  std::string far_trash(const std::string& name) const {
    return far_home + "/.local/share/Trash/files/" + name;
  }

  std::string far_home;
};

TEST_F(CrossVolumeCopy, ABuildFolderWithHardLinksAndHolesArrivesWhole) {
  const std::string item = home / "project/target";
  write_file(item + "/debug/app", "binary");
  make_dirs(item + "/debug/deps");
  ASSERT_EQ(link((item + "/debug/app").c_str(), (item + "/debug/deps/app-1234").c_str()), 0);
  constexpr off_t kSparse = off_t{256} << 20;
  const int fd = open((item + "/disk.img").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(ftruncate(fd, kSparse), 0);
  ASSERT_EQ(pwrite(fd, "end", 3, kSparse - 3), 3);
  close(fd);
  ASSERT_EQ(chmod((item + "/debug").c_str(), 0750), 0);
  set_mtime(item + "/debug/app", 1'600'000'000);
  const struct stat sparse_source = metadata_of(item + "/disk.img");

  const auto r = run_orvc({"delete", item}, far_home, {{"PATH", far_home + "/no-bin"}});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_FALSE(exists_no_follow(item));
  const std::string copy = far_trash("target");
  const struct stat app = metadata_of(copy + "/debug/app");
  EXPECT_EQ(metadata_of(copy + "/debug/deps/app-1234").st_ino, app.st_ino);
  EXPECT_EQ(app.st_nlink, 2u);
  EXPECT_EQ(app.st_mtim.tv_sec, 1'600'000'000);
  EXPECT_EQ(read_file(copy + "/debug/deps/app-1234"), "binary");
  EXPECT_EQ(metadata_of(copy + "/debug").st_mode & 07777, 0750u);
  const struct stat sparse_copy = metadata_of(copy + "/disk.img");
  EXPECT_EQ(sparse_copy.st_size, kSparse);
  EXPECT_LE(sparse_copy.st_blocks, 2 * sparse_source.st_blocks + 8);
}

}  // namespace
}  // namespace orvc::testing
