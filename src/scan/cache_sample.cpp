#include "scan/cache_sample.hpp"

#include <sys/stat.h>

#include <deque>
#include <optional>
#include <utility>

#include "platform/folder_stream.hpp"

namespace orvc {

void sample_metadata_cost(const std::string& root, CacheProbe& probe, size_t entries) {
  std::deque<std::string> folders{root};
  size_t seen = 0;
  std::optional<dev_t> root_device;  // the sample stays on the root's file system
  // A cold verdict needs no more calls: the sample stops there, and the walk starts at once.
  while (!folders.empty() && seen < entries && !probe.cold()) {
    const std::string folder = std::move(folders.front());
    folders.pop_front();
    FolderStream listing(
        UniqueFd(probed_call(&probe, [&] { return open(folder.c_str(), kFolderOpenFlags); })));
    if (!listing) continue;
    if (!root_device) {
      struct stat metadata {};
      if (fstat(listing.fd(), &metadata) != 0) return;
      root_device = metadata.st_dev;
    }
    while (seen < entries && !probe.cold()) {
      const dirent* entry = probed_call(&probe, [&] { return listing.next(); });
      if (!entry) break;
      const char* name = entry->d_name;
      ++seen;
      struct stat metadata {};
      if (probed_call(
              &probe,
              [&] { return fstatat(listing.fd(), name, &metadata, AT_SYMLINK_NOFOLLOW); }) == 0 &&
          S_ISDIR(metadata.st_mode) && metadata.st_dev == *root_device) {
        folders.push_back(folder + "/" + name);
      }
    }
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
