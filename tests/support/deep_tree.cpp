#include "support/deep_tree.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/magic.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "support/run_process.hpp"
#include "support/scoped_env.hpp"

namespace orvc::testing {
namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// Opens `depth` levels of the chain from `root`, making missing ones when `make` is set; -1 when
// one is missing or cannot be made.
int open_deep(const std::string& root, int depth, bool make) {
  int fd = open(root.c_str(), kFolderFlags);
  for (int i = 0; i < depth && fd >= 0; ++i) {
    if (make) mkdirat(fd, "d", 0755);
    const int next = openat(fd, "d", kFolderFlags);
    close(fd);
    fd = next;
  }
  return fd;
}

}  // namespace

std::string deep_path(const std::string& root, int depth) {
  std::string path = root;
  for (int i = 0; i < depth; ++i) path += "/d";
  return path;
}

void make_deep_tree(const std::string& root, int depth, const std::string& file,
                    const std::string& content) {
  ASSERT_TRUE(mkdir(root.c_str(), 0755) == 0 || errno == EEXIST) << root;
  const int fd = open_deep(root, depth, true);
  ASSERT_GE(fd, 0) << root << ": " << std::strerror(errno);
  const int out = openat(fd, file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  close(fd);
  ASSERT_GE(out, 0) << std::strerror(errno);
  const bool written =
      write(out, content.data(), content.size()) == static_cast<ssize_t>(content.size());
  close(out);
  ASSERT_TRUE(written);
}

std::optional<std::string> read_deep_file(const std::string& root, int depth,
                                          const std::string& file) {
  const int folder = open_deep(root, depth, false);
  if (folder < 0) return std::nullopt;
  const int fd = openat(folder, file.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  close(folder);
  if (fd < 0) return std::nullopt;
  const std::string content = read_file("/proc/self/fd/" + std::to_string(fd));
  close(fd);
  return content;
}

void remove_deep_tree(const std::string& root) {
  // GNU rm descends through folder handles, so any depth goes, and never follows a link. It is
  // handed nothing but trees in a test's temporary folder.
  if (root.find("/orvc-test-") == std::string::npos) return;
  run_program({"rm", "-rf", "--", root}, ProcessOptions{});
}

std::unique_ptr<TempDir> make_fast_temp_dir() {
  struct statfs volume {};
  if (statfs("/dev/shm", &volume) != 0 || volume.f_type != TMPFS_MAGIC ||
      access("/dev/shm", W_OK) != 0) {
    return std::make_unique<TempDir>();
  }
  const ScopedEnv in_memory("TMPDIR", "/dev/shm");
  return std::make_unique<TempDir>();
}

bool allow_open_files(unsigned long wanted) {
  struct rlimit limit {};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return false;
  limit.rlim_cur = limit.rlim_max;
  setrlimit(RLIMIT_NOFILE, &limit);
  return getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur >= wanted;
}

}  // namespace orvc::testing
