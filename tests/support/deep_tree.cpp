#include "support/deep_tree.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/magic.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "support/scoped_env.hpp"

namespace orvc::testing {
namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// Opens `depth` levels of the chain from `root`; -1 when one is missing.
int open_deep(const std::string& root, int depth) {
  int fd = open(root.c_str(), kFolderFlags);
  for (int i = 0; i < depth && fd >= 0; ++i) {
    const int next = openat(fd, "d", kFolderFlags);
    close(fd);
    fd = next;
  }
  return fd;
}

bool rmdir_at_failed(int dir_fd, const std::string& name) {
  return unlinkat(dir_fd, name.c_str(), AT_REMOVEDIR) != 0;
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
  int fd = open(root.c_str(), kFolderFlags);
  ASSERT_GE(fd, 0) << root << ": " << std::strerror(errno);
  for (int i = 0; i < depth; ++i) {
    const bool made = mkdirat(fd, "d", 0755) == 0 || errno == EEXIST;
    const int next = openat(fd, "d", kFolderFlags);
    close(fd);
    ASSERT_TRUE(made && next >= 0) << "level " << i << ": " << std::strerror(errno);
    fd = next;
  }
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
  const int folder = open_deep(root, depth);
  if (folder < 0) return std::nullopt;
  const int fd = openat(folder, file.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  close(folder);
  if (fd < 0) return std::nullopt;
  std::string content;
  char buffer[4096];
  ssize_t n = 0;
  while ((n = read(fd, buffer, sizeof buffer)) > 0) content.append(buffer, static_cast<size_t>(n));
  close(fd);
  return content;
}

void remove_deep_tree(const std::string& root) {
  struct Level {
    int fd;
    std::string name;
  };
  const auto slash = root.rfind('/');
  const std::string parent = slash == 0 ? "/" : root.substr(0, slash);
  const int parent_fd = open(parent.c_str(), kFolderFlags & ~O_NOFOLLOW);
  if (parent_fd < 0) return;
  const std::string root_name = root.substr(slash + 1);
  const int root_fd = openat(parent_fd, root_name.c_str(), kFolderFlags);
  if (root_fd < 0) {
    unlinkat(parent_fd, root_name.c_str(), 0);  // a file, a link, or nothing
    close(parent_fd);
    return;
  }
  std::vector<Level> levels{{parent_fd, {}}, {root_fd, root_name}};
  while (levels.size() > 1) {
    const int fd = levels.back().fd;
    fchmod(fd, 0700);
    // Every non-folder goes; the first folder found is entered next.
    std::string folder;
    if (DIR* dir = fdopendir(dup(fd))) {
      while (const dirent* entry = readdir(dir)) {
        const std::string child = entry->d_name;
        if (child == "." || child == "..") continue;
        if (unlinkat(fd, child.c_str(), 0) != 0 && folder.empty()) folder = child;
      }
      closedir(dir);
    }
    const int next = folder.empty() ? -1 : openat(fd, folder.c_str(), kFolderFlags);
    if (next >= 0) {
      levels.push_back({next, folder});
      continue;
    }
    // Empty (or stuck): remove it from its parent and look at the parent again.
    const Level done = levels.back();
    levels.pop_back();
    close(done.fd);
    if (rmdir_at_failed(levels.back().fd, done.name) && !folder.empty()) break;
  }
  for (const Level& level : levels) close(level.fd);
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
