#include "scan/tree_size.hpp"

#include <oneapi/tbb/blocked_range.h>
#include <oneapi/tbb/parallel_reduce.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/folder_stream.hpp"
#include "platform/platform.hpp"
#include "util/io_arena.hpp"
#include "util/saturating.hpp"
#include "util/stop_request.hpp"
#include "util/work_progress.hpp"

namespace orvc::scan {
namespace {

// One probe for every measure of the process: items are measured one after another or side by
// side, and all of them meet the same cache.
CacheProbe& cache_probe() {
  static CacheProbe probe;
  return probe;
}

// The probe to time a call with: none once the measure runs in the I/O arena, and only one
// entry in sixteen, which is plenty to tell a cold cache and keeps clock reads off most calls.
CacheProbe* probe_for(bool wide, size_t order = 0) {
  return wide || order % 16 != 0 ? nullptr : &cache_probe();
}

struct Entry {
  ino_t inode;
  std::string name;
  bool folder;  // known from the listing; other entries get one metadata call
};

uint64_t file_size(const struct stat& metadata, SizeKind kind) {
  if (kind == SizeKind::Allocated) return blocks_to_bytes(metadata.st_blocks);
  return static_cast<uint64_t>(std::max<off_t>(metadata.st_size, 0));
}

uint64_t folder_usage(UniqueFd folder_fd, SizeKind kind, bool wide);

uint64_t subfolder_usage(int parent_fd, const char* name, SizeKind kind, bool wide) {
  UniqueFd fd(
      probed_call(probe_for(wide), [&] { return openat(parent_fd, name, kFolderOpenFlags); }));
  return fd ? folder_usage(std::move(fd), kind, wide) : 0;
}

uint64_t entry_usage(int parent_fd, const Entry& entry, SizeKind kind, bool wide, size_t order) {
  if (stop_requested()) return 0;
  if (entry.folder) return subfolder_usage(parent_fd, entry.name.c_str(), kind, wide);
  struct stat metadata {};
  if (probed_call(probe_for(wide, order), [&] {
        return fstatat(parent_fd, entry.name.c_str(), &metadata, AT_SYMLINK_NOFOLLOW);
      }) != 0) {
    return 0;
  }
  if (S_ISREG(metadata.st_mode)) return file_size(metadata, kind);
  if (S_ISDIR(metadata.st_mode)) return subfolder_usage(parent_fd, entry.name.c_str(), kind, wide);
  return 0;
}

// Entries whose size needs a call: regular files, folders and entries of unknown type. Links
// and other special files count nothing and are left out here already. Where the system lists
// files with their sizes (macOS), those sizes go to `listed_bytes` and mostly folders remain.
std::vector<Entry> list_entries(FolderStream& folder, SizeKind kind, uint64_t& listed_bytes) {
  std::vector<Entry> entries;
  if (auto sized = platform::list_with_sizes(folder.fd())) {
    add_seen(sized->size());
    for (auto& entry : *sized) {
      using Kind = platform::SizedEntry::Kind;
      if (entry.kind == Kind::Folder || entry.kind == Kind::UnsizedFile) {
        entries.push_back(
            {static_cast<ino_t>(entry.inode), std::move(entry.name), entry.kind == Kind::Folder});
      } else if (entry.kind == Kind::File) {
        listed_bytes = saturating_add(listed_bytes,
                                      kind == SizeKind::Allocated ? entry.allocated : entry.size);
      }
    }
    return entries;
  }
  while (const dirent* entry = folder.next()) {
    const unsigned char type = entry->d_type;
    if (type != DT_DIR && type != DT_REG && type != DT_UNKNOWN) continue;
    entries.push_back({entry->d_ino, entry->d_name, type == DT_DIR});
  }
  add_seen(entries.size());
  return entries;
}

// One metadata call per entry: the listing's type tells folders (opened relative to their
// parent) from files (one fstatat). Entries are split across the pool; on a cold cache the
// measure moves to the I/O arena, and takes the entries in inode order, which keeps the
// device's reads close together.
uint64_t folder_usage(UniqueFd folder_fd, SizeKind kind, bool wide) {
  FolderStream folder(std::move(folder_fd));
  if (!folder) return 0;
  const int fd = folder.fd();
  uint64_t listed_bytes = 0;
  std::vector<Entry> entries = probed_listing(
      probe_for(wide), [&] { return list_entries(folder, kind, listed_bytes); },
      [](const std::vector<Entry>& listed) { return listed.size(); });
  if (entries.empty()) return listed_bytes;
  if (entries.size() == 1) {
    return saturating_add(listed_bytes, entry_usage(fd, entries.front(), kind, wide, 0));
  }
  return saturating_add(listed_bytes, run_wide_when_cold(cache_probe(), wide, [&](bool wide_now) {
                          if (wide_now) {
                            std::ranges::sort(entries, {}, &Entry::inode);
                          }
                          return tbb::parallel_reduce(
                              tbb::blocked_range<size_t>(0, entries.size()), uint64_t{0},
                              [&](const tbb::blocked_range<size_t>& range, uint64_t sum) {
                                for (size_t i = range.begin(); i != range.end(); ++i) {
                                  sum = saturating_add(
                                      sum, entry_usage(fd, entries[i], kind, wide_now, i));
                                }
                                return sum;
                              },
                              saturating_add);
                        }));
}

}  // namespace

uint64_t tree_size(const std::string& path, SizeKind kind) {
  struct stat metadata {};
  if (stop_requested() || lstat(path.c_str(), &metadata) != 0) return 0;
  if (S_ISREG(metadata.st_mode)) return file_size(metadata, kind);
  if (!S_ISDIR(metadata.st_mode)) return 0;
  UniqueFd fd(probed_call(&cache_probe(), [&] { return open(path.c_str(), kFolderOpenFlags); }));
  return fd ? folder_usage(std::move(fd), kind, /*wide=*/false) : 0;
}

}  // namespace orvc::scan
