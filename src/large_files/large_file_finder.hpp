#pragma once
// Finds regular files of at least a given size and age under a folder, or under the home
// folder's top-level entries, biggest first. Only reads; removal is the caller's business.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "scan/skip_tables.hpp"
#include "util/array_concat.hpp"
#include "util/expected.hpp"

namespace orvc::large_files {

struct LargeFile {
  std::string path;
  uint64_t size = 0;
  uint64_t age_days = 0;                 // whole days since the last modification
  uint64_t allocated = 0;                // 512 × allocated blocks
  std::optional<int64_t> modified_secs;  // absent when the file system gave no usable time
};

// Folder names the crawl never enters (compared under ASCII case folding).
inline constexpr auto LARGE_FILE_SKIP_DIRS =
    concat(scan::DEV_SKIP_DIRS, std::array<std::string_view, 3>{
                                    "CloudStorage",
                                    "Photos Library.photoslibrary",
                                    "Photos Library.migratedphotolibrary",
                                });

// threshold_mb × 1048576, saturating at the largest 64-bit value.
uint64_t threshold_bytes(uint64_t threshold_mb);

// Whole days from `modified_secs` to `now`; 0 when absent or in the future.
uint64_t age_in_days(std::optional<int64_t> modified_secs, int64_t now);

// Every entry of the folder named by HOME, in listing order, except "Library", the names the
// crawl passes over below a root (LARGE_FILE_SKIP_DIRS under ASCII case folding, and the system
// skip tables) and the user's Trash folder; the home folder itself when it cannot be listed.
// Fails when HOME is not set.
Result<std::vector<std::string>> large_file_roots();

// `path` when given, else the default roots (large_file_roots).
Result<std::vector<std::string>> large_file_search_roots(const std::string& path);

// The files under the given roots (large_file_search_roots). Once a stop is requested
// (util/stop_request) the crawl winds down and the list is incomplete.
std::vector<LargeFile> find_large_files_under(const std::vector<std::string>& roots,
                                              uint64_t threshold_mb, uint64_t min_age_days);

}  // namespace orvc::large_files
