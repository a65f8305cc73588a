#pragma once
// Keeps the cleanup history small: seven days and 50 manifests. Problems met while pruning go to
// the diagnostic sink (util/diagnostics) as single lines.
#include <cstdint>
#include <optional>
#include <string>

#include "util/expected.hpp"

namespace orvc::removal {

// A manifest this process has just written: well formed, with a known time.
struct WrittenManifest {
  std::string path;
  int64_t unix_timestamp = 0;
};

// Removes manifests older than seven days, then all but the 50 newest. Returns how many went.
// A manifest named in `just_written` is not read back.
Result<size_t> prune_history(const std::optional<WrittenManifest>& just_written = std::nullopt);

}  // namespace orvc::removal
