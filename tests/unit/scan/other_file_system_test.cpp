// Another file system mounted below a root is entered by neither the crawl, the sweep nor the
// cache sample; a root on it is walked as usual. The tmpfs is mounted in a private mount namespace
// of a process of its own and goes with it.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "scan/cache_sample.hpp"
#include "scan/collector.hpp"
#include "scan/disk_sweep.hpp"
#include "support/temp_home.hpp"

namespace orvc::scan {
namespace {

using namespace orvc::testing;

// A tmpfs at `at` that only this process and its children see.
bool mount_privately(const std::string& at) {
  return unshare(CLONE_NEWNS) == 0 &&
         mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
         mount("orvc-test", at.c_str(), "tmpfs", 0, "size=4m") == 0;
}

// Whether this process may mount a tmpfs privately: asked of a child that only tries.
bool private_mounts_allowed() {
  const TempDir dir;
  const pid_t child = fork();
  if (child == 0) _exit(mount_privately(dir.path()) ? 0 : 1);
  int status = 1;
  waitpid(child, &status, 0);
  return status == 0;
}

// Run in a process of its own before its walks start any thread: 0 when every check held, else
// the number of the first that failed.
int walks_of_a_tree_with_a_mount() {
  const TempDir dir;
  const std::string tree = dir / "tree";
  write_sized_file(tree + "/local", 3000);
  make_dirs(tree + "/mnt");
  if (!mount_privately(tree + "/mnt")) return 9;
  struct Unmount {
    std::string at;
    ~Unmount() { umount2(at.c_str(), MNT_DETACH); }
  } unmount{tree + "/mnt"};
  write_sized_file(tree + "/mnt/inside", 100000);
  const auto crawls_only = [&](const std::string& root, const std::string& file) {
    const auto files = collect_files({root}, {}, GitDetection::Off, std::atomic<bool>{false});
    return files.size() == 1 && files[0].path == file;
  };
  if (!crawls_only(tree, tree + "/local")) return 1;
  if (!crawls_only(tree + "/mnt", tree + "/mnt/inside")) return 2;
  const auto swept = disk_sweep(tree, {.children_depth = std::nullopt, .same_device = true});
  if (!swept || swept->size != 3000 || swept->children->size() != 1) return 3;
  // Listing a folder moves its access time on, here set long ago: the cache sample lists the
  // mount only when it starts there.
  const auto sample_lists_mount = [&](const std::string& root) {
    const timespec long_ago[2] = {{946684800, 0}, {0, UTIME_OMIT}};
    struct stat metadata {};
    CacheProbe probe;
    return utimensat(AT_FDCWD, (tree + "/mnt").c_str(), long_ago, 0) == 0 &&
           (sample_metadata_cost(root, probe), stat((tree + "/mnt").c_str(), &metadata) == 0) &&
           metadata.st_atim.tv_sec != long_ago[0].tv_sec;
  };
  if (sample_lists_mount(tree)) return 4;
  if (!sample_lists_mount(tree + "/mnt")) return 5;
  return 0;
}

TEST(OtherFileSystems, AreNotEnteredBelowARoot) {
  if (!private_mounts_allowed()) GTEST_SKIP() << "no private tmpfs mount here";
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(std::exit(walks_of_a_tree_with_a_mount()), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace orvc::scan
