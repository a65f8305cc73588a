#pragma once
// The shared crawl of the large-file and duplicate finders: one record per regular file under
// the roots, in a fixed order (roots in order; within a folder, listing order, depth first).
// Never follows symbolic links, never crosses into another file system, never reads content,
// never enters the user's Trash folder (platform::user_trash) below a root. The regular files it
// looks at are counted in the work counters (util/work_progress).
#include <sys/stat.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "util/file_identity.hpp"

namespace orvc::scan {

enum class GitState { OutsideRepository, Ignored, Tracked };

// Which physical file a name belongs to, as the crawl saw it.
struct CrawledIdentity {
  FileIdentity file;
  uint64_t links = 0;  // 0 when the identity is unknown
};

struct CollectedFile {
  std::optional<int64_t> modified_secs;
  std::string path;
  uint64_t size = 0;
  uint64_t allocated = 0;  // 512 × allocated blocks
  GitState git = GitState::OutsideRepository;
  CrawledIdentity identity;
};

// A file's modification time in whole seconds, as records carry it; nothing when unusable.
std::optional<int64_t> modified_seconds(const struct stat& metadata);

// Optional early filter on a regular file's metadata: files it rejects are never recorded,
// which keeps memory small on large trees. The order of the kept records is unchanged.
using FileFilter = std::function<bool(const struct stat&)>;

// Whether each record tells if Git tracks the file; otherwise every record is OutsideRepository.
enum class GitDetection { Off, On };

std::vector<CollectedFile> collect_files(const std::vector<std::string>& roots,
                                         const std::vector<std::string>& skip_names,
                                         GitDetection git_detection,
                                         const std::atomic<bool>& cancel_flag,
                                         const FileFilter& keep = {});

}  // namespace orvc::scan
