#include "junk/disk_usage.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <oneapi/tbb/blocked_range.h>
#include <oneapi/tbb/parallel_reduce.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace orvc::junk {
namespace {

constexpr int kOpenFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

struct DirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};
using FolderStream = std::unique_ptr<DIR, DirCloser>;

uint64_t allocated_bytes(const struct stat& metadata) {
  if (metadata.st_blocks <= 0) return 0;
  const auto blocks = static_cast<uint64_t>(metadata.st_blocks);
  return blocks > UINT64_MAX / 512 ? UINT64_MAX : blocks * 512;
}

uint64_t folder_usage(int folder_fd);

uint64_t subfolder_usage(int parent_fd, const std::string& name) {
  const int fd = openat(parent_fd, name.c_str(), kOpenFolderFlags);
  return fd < 0 ? 0 : folder_usage(fd);
}

// Sub-folders are where the work is, so they are what gets split across the pool.
uint64_t subfolders_usage(int parent_fd, const std::vector<std::string>& names) {
  if (names.empty()) return 0;
  if (names.size() == 1) return subfolder_usage(parent_fd, names.front());
  return tbb::parallel_reduce(
      tbb::blocked_range<size_t>(0, names.size()), uint64_t{0},
      [&](const tbb::blocked_range<size_t>& range, uint64_t sum) {
        for (size_t i = range.begin(); i != range.end(); ++i) {
          sum = saturating_add(sum, subfolder_usage(parent_fd, names[i]));
        }
        return sum;
      },
      saturating_add);
}

// Takes ownership of `folder_fd`. One metadata call per entry: the listing's type tells
// folders (opened relative to their parent) from files (one fstatat); links count nothing.
uint64_t folder_usage(int folder_fd) {
  FolderStream folder(fdopendir(folder_fd));
  if (!folder) {
    close(folder_fd);
    return 0;
  }
  const int fd = dirfd(folder.get());
  uint64_t total = 0;
  std::vector<std::string> subfolders;
  while (const dirent* entry = readdir(folder.get())) {
    const char* name = entry->d_name;
    if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
    if (entry->d_type == DT_DIR) {
      subfolders.emplace_back(name);
      continue;
    }
    if (entry->d_type != DT_REG && entry->d_type != DT_UNKNOWN) continue;
    struct stat metadata {};
    if (fstatat(fd, name, &metadata, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (S_ISREG(metadata.st_mode)) {
      total = saturating_add(total, allocated_bytes(metadata));
    } else if (S_ISDIR(metadata.st_mode)) {
      subfolders.emplace_back(name);
    }
  }
  return saturating_add(total, subfolders_usage(fd, subfolders));
}

}  // namespace

uint64_t disk_usage(const std::string& path) {
  struct stat metadata {};
  if (lstat(path.c_str(), &metadata) != 0) return 0;
  if (S_ISREG(metadata.st_mode)) return allocated_bytes(metadata);
  if (!S_ISDIR(metadata.st_mode)) return 0;
  const int fd = open(path.c_str(), kOpenFolderFlags);
  return fd < 0 ? 0 : folder_usage(fd);
}

}  // namespace orvc::junk
