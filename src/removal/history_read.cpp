#include "removal/history_read.hpp"

#include <oneapi/tbb/parallel_for.h>

#include <algorithm>
#include <cerrno>

#include "platform/folder_stream.hpp"
#include "platform/small_file.hpp"
#include "removal/history_json.hpp"
#include "util/text.hpp"

namespace orvc::removal {

Result<LoadedHistory> load_history() {
  const std::string folder = ORVC_TRY(history_folder_path());
  LoadedHistory loaded;
  FolderStream dir = FolderStream::open(folder);
  if (!dir) {
    if (errno == ENOENT) return loaded;
    return failure("cannot read the history folder '" + lossy_utf8(folder) +
                   "': " + os_error_text(errno));
  }
  std::vector<std::string> names;
  while (const dirent* entry = dir.next()) {
    const std::string_view name = entry->d_name;
    // Only "*.json" is a manifest; "x.JSON" and temporary files are not.
    if (name.size() > 5 && name.ends_with(".json")) names.emplace_back(name);
  }
  std::sort(names.begin(), names.end());

  // Manifests of big runs are large; they are read and parsed in parallel.
  std::vector<Result<CleanupSession>> parsed(names.size(), failure(""));
  tbb::parallel_for(size_t{0}, names.size(), [&](size_t i) {
    auto text = platform::read_small_file(join_path(folder, names[i]), platform::FinalLink::Refuse);
    parsed[i] = text ? parse_session(*text) : failure(text.error());
  });
  for (size_t i = 0; i < names.size(); ++i) {
    if (parsed[i]) {
      loaded.sessions.push_back(std::move(*parsed[i]));
    } else {
      loaded.problems.push_back(join_path(folder, names[i]) + ": " + parsed[i].error());
    }
  }
  std::stable_sort(loaded.sessions.begin(), loaded.sessions.end(),
                   [](const CleanupSession& a, const CleanupSession& b) {
                     if (a.unix_timestamp != b.unix_timestamp) {
                       return a.unix_timestamp > b.unix_timestamp;
                     }
                     // RFC 3339 texts of one second order by their fractions.
                     return a.timestamp > b.timestamp;
                   });
  return loaded;
}

}  // namespace orvc::removal
