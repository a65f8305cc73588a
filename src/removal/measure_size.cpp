#include <oneapi/tbb/parallel_for.h>
#include <sys/stat.h>

#include <vector>

#include "removal/cleanup.hpp"
#include "util/folder_stream.hpp"
#include "util/saturating.hpp"
#include "util/stop_request.hpp"
#include "util/text.hpp"

namespace orvc::removal {
namespace {

std::vector<std::string> folder_entries(const std::string& folder) {
  std::vector<std::string> paths = names_in(folder);
  for (std::string& path : paths) path = join_path(folder, path);
  return paths;
}

}  // namespace

uint64_t measure_size(const std::string& path) {
  // A run asked to stop moves nothing, so the size no longer matters.
  if (stop_requested()) return 0;
  struct stat metadata {};
  if (lstat(path.c_str(), &metadata) != 0) return 0;
  if (S_ISREG(metadata.st_mode)) return static_cast<uint64_t>(metadata.st_size);
  if (!S_ISDIR(metadata.st_mode)) return 0;
  const auto entries = folder_entries(path);
  std::vector<uint64_t> sizes(entries.size(), 0);
  tbb::parallel_for(size_t{0}, entries.size(),
                    [&](size_t i) { sizes[i] = measure_size(entries[i]); });
  uint64_t total = 0;
  for (const uint64_t size : sizes) total = saturating_add(total, size);
  return total;
}

}  // namespace orvc::removal
