#include "util/cache_sample.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <deque>
#include <utility>

namespace orvc {

void sample_metadata_cost(const std::string& root, CacheProbe& probe, size_t entries) {
  constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
  std::deque<std::string> folders{root};
  size_t seen = 0;
  // A cold verdict needs no more calls: the sample stops there, and the walk starts at once.
  while (!folders.empty() && seen < entries && !probe.cold()) {
    const std::string folder = std::move(folders.front());
    folders.pop_front();
    const int fd = probed_call(&probe, [&] { return open(folder.c_str(), kFolderFlags); });
    DIR* listing = fd >= 0 ? fdopendir(fd) : nullptr;
    if (!listing) {
      if (fd >= 0) close(fd);
      continue;
    }
    while (seen < entries && !probe.cold()) {
      const dirent* entry = probed_call(&probe, [&] { return readdir(listing); });
      if (!entry) break;
      const char* name = entry->d_name;
      if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
      ++seen;
      struct stat metadata {};
      if (probed_call(
              &probe,
              [&] { return fstatat(dirfd(listing), name, &metadata, AT_SYMLINK_NOFOLLOW); }) == 0 &&
          S_ISDIR(metadata.st_mode)) {
        folders.push_back(folder + "/" + name);
      }
    }
    closedir(listing);
  }
}

bool cache_looks_cold(const std::string& root, size_t entries) {
  CacheProbe probe;
  sample_metadata_cost(root, probe, entries);
  return probe.cold();
}

tbb::task_arena& arena_for_walk(const std::string& root, tbb::task_arena& warm_arena,
                                size_t entries) {
  return cache_looks_cold(root, entries) ? io_arena() : warm_arena;
}

}  // namespace orvc
