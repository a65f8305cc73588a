#include "scan/disk_sweep.hpp"

#include <oneapi/tbb/parallel_for.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

#include "platform/folder_stream.hpp"
#include "platform/platform.hpp"
#include "scan/cache_sample.hpp"
#include "scan/skip_tables.hpp"
#include "util/io_arena.hpp"
#include "util/saturating.hpp"
#include "util/stop_request.hpp"
#include "util/text.hpp"
#include "util/work_progress.hpp"

namespace orvc::scan {
namespace {

// Enough timed calls for a verdict; on a warm cache they take well under a millisecond.
constexpr size_t kCacheSampleEntries = 256;

struct Sweep {
  const SweepOptions& options;
  dev_t root_device;
  mutable CacheProbe probe;

  // The probe to time a call with: none once the walk is wide, and only one entry in sixteen,
  // which is plenty to tell a cold cache and keeps the clock reads off most calls.
  CacheProbe* probe_for(bool wide, size_t sample = 0) const {
    return wide || sample % 16 != 0 ? nullptr : &probe;
  }

  bool keeps_list(unsigned depth) const {
    return !options.children_depth || depth + 1 <= *options.children_depth;
  }
};

// One listing entry after its metadata call. `node` holds the measured entry.
struct Child {
  bool measured = false;
  DiskNode node;
};

DiskNode measure_folder(UniqueFd fd, std::string raw_path, unsigned depth, const Sweep& sweep,
                        bool wide);

DiskNode measure_leaf(const struct stat& st) {
  DiskNode node;
  node.size = static_cast<uint64_t>(std::max<off_t>(st.st_size, 0));
  node.allocated = blocks_to_bytes(st.st_blocks);
  return node;
}

// What the metadata call of one listing entry found.
enum class Entry { LeftOut, Measured, Folder };

// Measures one listing entry relative to its folder's descriptor, all but a folder's contents:
// a folder is left to enter_folder. `wide`: the walk runs in the I/O arena; `order` is the
// entry's place in its folder's reads.
Entry stat_child(int dir_fd, const std::string& name, const Sweep& sweep, DiskNode& out, bool wide,
                 size_t order) {
  if (stop_requested()) return Entry::LeftOut;
  struct stat st {};
  if (probed_call(sweep.probe_for(wide, order),
                  [&] { return fstatat(dir_fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW); }) != 0) {
    return Entry::LeftOut;
  }
  if (S_ISDIR(st.st_mode)) {
    if (sweep.options.same_device && st.st_dev != sweep.root_device) return Entry::LeftOut;
    return Entry::Folder;
  }
  if (platform::is_dataless(st)) return Entry::LeftOut;
  if (S_ISREG(st.st_mode) && st.st_size > 0 && st.st_blocks == 0) return Entry::LeftOut;
  out = measure_leaf(st);
  return Entry::Measured;
}

void enter_folder(int dir_fd, const std::string& name, std::string raw_path, unsigned depth,
                  const Sweep& sweep, DiskNode& out, bool wide) {
  UniqueFd fd(probed_call(sweep.probe_for(wide),
                          [&] { return openat(dir_fd, name.c_str(), kFolderOpenFlags); }));
  out = measure_folder(std::move(fd), std::move(raw_path), depth, sweep, wide);
}

struct Listing {
  std::vector<std::string> names;
  // Positions in `names` whose metadata call is still to be made, in the order to make them;
  // every position, in listing order, when `calls_in_listing_order`.
  std::vector<uint32_t> calls;
  bool calls_in_listing_order = true;
  // Entries the listing measured itself, with their positions in `names`.
  std::vector<std::pair<uint32_t, DiskNode>> measured;

  size_t call_count() const { return calls_in_listing_order ? names.size() : calls.size(); }
  size_t position(size_t k) const { return calls_in_listing_order ? k : calls[k]; }
};

// The entries a sweep leaves out by name or, while a skip path can still match, by path.
struct SkipCheck {
  const std::string& raw_path;
  bool check_paths = !raw_path.empty() && raw_path.size() < kLongestSkipPath;
  bool skips(std::string_view name) const {
    return is_skipped_name(name) || (check_paths && is_skipped_path(join_path(raw_path, name)));
  }
};

// Takes the calls to make as (inode, position) pairs and makes them in inode order: on a cold
// cache the metadata of neighbouring inode numbers shares a device block. Results still land at
// their listing positions.
void order_calls(Listing& listing, std::vector<std::pair<uint64_t, uint32_t>>& to_call) {
  std::ranges::sort(to_call);
  listing.calls.reserve(to_call.size());
  for (const auto& [inode, position] : to_call) listing.calls.push_back(position);
  listing.calls_in_listing_order = false;
}

// A warm walk keeps listing order and skips the sorting.
Listing list_names(FolderStream& folder, const std::string& raw_path, bool inode_order) {
  Listing listing;
  std::vector<std::pair<uint64_t, uint32_t>> to_call;
  const SkipCheck skip{raw_path};
  size_t listed = 0;
  while (const dirent* entry = folder.next()) {
    // A folder of millions of entries takes a while to list.
    if (++listed % 4096 == 0 && stop_requested()) break;
    const std::string_view name = entry->d_name;
    if (skip.skips(name)) continue;
    if (inode_order) {
      to_call.emplace_back(entry->d_ino, static_cast<uint32_t>(listing.names.size()));
    }
    listing.names.emplace_back(name);
  }
  if (inode_order) order_calls(listing, to_call);
  return listing;
}

// Where the system lists files with their sizes (macOS), only the other entries are left for
// a metadata call. Files are measured as stat_child measures them.
std::optional<Listing> list_sized(FolderStream& folder, const std::string& raw_path,
                                  bool inode_order) {
  auto sized = platform::list_with_sizes(folder.fd());
  if (!sized) return std::nullopt;
  Listing listing;
  std::vector<std::pair<uint64_t, uint32_t>> to_call;
  const SkipCheck skip{raw_path};
  for (platform::SizedEntry& entry : *sized) {
    if (skip.skips(entry.name)) continue;
    const auto position = static_cast<uint32_t>(listing.names.size());
    if (entry.kind != platform::SizedEntry::Kind::File) {
      to_call.emplace_back(inode_order ? entry.inode : 0, position);
    } else if (!entry.dataless && !(entry.size > 0 && entry.allocated == 0)) {
      DiskNode node;
      node.size = entry.size;
      node.allocated = entry.allocated;
      listing.measured.emplace_back(position, std::move(node));
    }
    listing.names.push_back(std::move(entry.name));
  }
  order_calls(listing, to_call);  // equal inodes (a warm walk) keep listing order
  return listing;
}

void sort_largest_first(std::vector<DiskNode>& nodes) {
  std::ranges::stable_sort(nodes, [](const DiskNode& a, const DiskNode& b) {
    if (a.allocated != b.allocated) return a.allocated > b.allocated;
    return a.size > b.size;
  });
}

// `raw_path` is the folder's path as bytes, or empty when nothing
// below needs it (no kept lists and no skip path can match any more).
DiskNode measure_folder(UniqueFd fd, std::string raw_path, unsigned depth, const Sweep& sweep,
                        bool wide) {
  DiskNode folder;
  folder.is_dir = true;
  folder.children.emplace();
  FolderStream dir(std::move(fd));
  if (!dir) {
    folder.unreadable = true;
    return folder;
  }
  Listing listing = probed_listing(
      sweep.probe_for(wide),
      [&] {
        const bool inode_order = wide || sweep.probe.cold();
        if (auto sized = list_sized(dir, raw_path, inode_order)) return std::move(*sized);
        return list_names(dir, raw_path, inode_order);
      },
      [](const Listing& l) { return l.names.size(); });
  const std::vector<std::string>& names = listing.names;
  add_seen(names.size());
  const bool keep_list = sweep.keeps_list(depth);
  const bool child_paths_needed = !raw_path.empty() && (keep_list || sweep.keeps_list(depth + 1) ||
                                                        raw_path.size() < kLongestSkipPath);

  std::vector<Child> children(names.size());
  const int dir_fd = dir.fd();
  const auto child_path = [&](size_t i) {
    return child_paths_needed ? join_path(raw_path, names[i]) : std::string();
  };
  run_wide_when_cold(sweep.probe, wide, [&](bool wide_now) {
    if (wide_now) {
      // Cold: every entry's metadata call is a read of its own, so all of them go side by side.
      tbb::parallel_for(size_t{0}, listing.call_count(), [&](size_t k) {
        const size_t i = listing.position(k);
        Child& child = children[i];
        const Entry entry = stat_child(dir_fd, names[i], sweep, child.node, true, k);
        if (entry == Entry::Folder) {
          enter_folder(dir_fd, names[i], child_path(i), depth + 1, sweep, child.node, true);
        }
        child.measured = entry != Entry::LeftOut;
      });
      return;
    }
    // Warm: one thread makes a folder's own metadata calls, as threads sharing one folder
    // contend for it; its sub-folders are walked side by side.
    std::vector<size_t> folders;
    for (size_t k = 0; k < listing.call_count(); ++k) {
      const size_t i = listing.position(k);
      const Entry entry = stat_child(dir_fd, names[i], sweep, children[i].node, false, k);
      children[i].measured = entry != Entry::LeftOut;
      if (entry == Entry::Folder) folders.push_back(i);
    }
    tbb::parallel_for(size_t{0}, folders.size(), [&](size_t f) {
      const size_t i = folders[f];
      enter_folder(dir_fd, names[i], child_path(i), depth + 1, sweep, children[i].node, false);
    });
  });
  dir.reset();
  for (auto& [position, node] : listing.measured) children[position] = {true, std::move(node)};

  uint64_t file_bytes = 0;  // sub-folders count their own
  for (const Child& child : children) {
    if (!child.measured) continue;
    folder.size = saturating_add(folder.size, child.node.size);
    folder.allocated = saturating_add(folder.allocated, child.node.allocated);
    if (!child.node.is_dir) file_bytes = saturating_add(file_bytes, child.node.size);
  }
  add_seen(0, file_bytes);
  if (!keep_list) return folder;

  for (size_t i = 0; i < children.size(); ++i) {
    Child& child = children[i];
    if (!child.measured) continue;
    if (!child.node.is_dir && sweep.options.min_child_size > 0 &&
        child.node.size < sweep.options.min_child_size) {
      continue;
    }
    child.node.path = join_path(raw_path, names[i]);
    folder.children->push_back(std::move(child.node));
  }
  sort_largest_first(*folder.children);
  return folder;
}

}  // namespace

Result<DiskNode> disk_sweep(const std::string& root, const SweepOptions& options) {
  struct stat st {};
  if (lstat(root.c_str(), &st) != 0) {
    return failure("Cannot access '" + root + "': " + os_error_text(errno));
  }
  begin_phase(WorkPhase::Sweeping);
  const Sweep sweep{options, st.st_dev, {}};
  DiskNode node;
  if (S_ISDIR(st.st_mode)) {
    // The walk starts on the ordinary pool and moves to the I/O arena when its metadata calls
    // are found waiting on the device (cold cache), so that many reads are in flight. A sample
    // of the first entries makes that call before the walk, so that a cold walk is wide from
    // the root down rather than one top-level folder at a time.
    sample_metadata_cost(root, sweep.probe, kCacheSampleEntries);
    UniqueFd fd(probed_call(&sweep.probe, [&] { return open(root.c_str(), kFolderOpenFlags); }));
    node = measure_folder(std::move(fd), root.empty() ? std::string(".") : root, 0, sweep, false);
  } else {
    node = measure_leaf(st);
  }
  node.path = root;
  return node;
}

}  // namespace orvc::scan
