#include "platform/platform.hpp"
#include "removal/absolute_path.hpp"
#include "removal/path_names.hpp"
#include "removal/trash.hpp"
#include "removal/trash_move.hpp"
#include "safety/cloud_sync.hpp"
#include "safety/protection.hpp"
#include "util/text.hpp"

namespace orvc::removal {

Result<std::string> trash_item(const std::string& path, ProtectionCheck check) {
  if (check == ProtectionCheck::NotDone && safety::is_protected_path(path)) {
    return failure(safety::refusal_before_move(path));
  }
  if (safety::is_in_cloud_sync_folder(path)) return failure(safety::cloud_sync_refusal(path));

  // The move's own opening checks would repeat the two above word for word.
  auto moved = move_into_trash_folder(path, SafetyChecks::DoneByCaller);
  if (moved) return std::move(*moved);
  if (moved.error().safety_refusal) return failure(std::move(moved.error().message));

  if (auto fallback = finder_delete({path}); !fallback) {
    return failure(moved.error().message + " (Finder fallback also failed: " + fallback.error() +
                   ")");
  }
  // The service picks the real name; the last component is what is reported.
  return lossy_utf8(last_normal_component(path).value_or(""));
}

Status finder_delete(const std::vector<std::string>& paths) {
  const std::string prefix = "Error during a `trash` operation: ";
  std::vector<std::string> absolute_paths;
  for (const auto& path : paths) {
    auto absolute = absolute_with_canonical_parent(path);
    if (!absolute)
      return failure(prefix + "cannot resolve '" + lossy_utf8(path) + "': " + absolute.error());
    absolute_paths.push_back(std::move(*absolute));
  }
  for (const auto& absolute : absolute_paths) {
    if (auto trashed = platform::trash_service_delete(absolute); !trashed) {
      return failure(prefix + trashed.error());
    }
  }
  return {};
}

}  // namespace orvc::removal
