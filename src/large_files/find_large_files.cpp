#include <sys/stat.h>

#include <algorithm>
#include <chrono>

#include "large_files/large_file_finder.hpp"
#include "scan/collector.hpp"
#include "util/saturating.hpp"
#include "util/stop_request.hpp"

namespace orvc::large_files {
namespace {

constexpr uint64_t kBytesPerMb = 1048576;
constexpr int64_t kSecondsPerDay = 86400;

int64_t now_seconds() {
  const auto since_epoch = std::chrono::system_clock::now().time_since_epoch();
  const auto seconds = std::chrono::floor<std::chrono::seconds>(since_epoch).count();
  return seconds < 0 ? 0 : static_cast<int64_t>(seconds);
}

}  // namespace

uint64_t threshold_bytes(uint64_t threshold_mb) {
  return saturating_mul(threshold_mb, kBytesPerMb);
}

uint64_t age_in_days(std::optional<int64_t> modified_secs, int64_t now) {
  if (!modified_secs || *modified_secs > now) return 0;
  return static_cast<uint64_t>((now - *modified_secs) / kSecondsPerDay);
}

Result<std::vector<std::string>> large_file_search_roots(const std::string& path) {
  if (path.empty()) return large_file_roots();
  return std::vector<std::string>{path};
}

std::vector<LargeFile> find_large_files_under(const std::vector<std::string>& roots,
                                              uint64_t threshold_mb, uint64_t min_age_days) {
  const uint64_t min_size = threshold_bytes(threshold_mb);
  const std::vector<std::string> skip_names(LARGE_FILE_SKIP_DIRS.begin(),
                                            LARGE_FILE_SKIP_DIRS.end());
  // Sizes are settled while walking, so small files never take memory; ages need the clock
  // reading taken after the walk.
  const scan::FileFilter big_enough = [min_size](const struct stat& metadata) {
    return static_cast<uint64_t>(metadata.st_size) >= min_size;
  };
  auto collected =
      scan::collect_files(roots, skip_names, scan::GitDetection::Off, cancel_flag(), big_enough);

  const int64_t now = now_seconds();
  std::vector<LargeFile> found;
  for (auto& file : collected) {
    const uint64_t age = age_in_days(file.modified_secs, now);
    if (file.size < min_size || age < min_age_days) continue;
    found.push_back(
        LargeFile{std::move(file.path), file.size, age, file.allocated, file.modified_secs});
  }
  std::ranges::stable_sort(found, std::ranges::greater{}, &LargeFile::size);
  return found;
}

}  // namespace orvc::large_files
