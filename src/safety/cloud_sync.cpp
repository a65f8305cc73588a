#include "safety/cloud_sync.hpp"

#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <mutex>
#include <shared_mutex>
#include <string_view>
#include <unordered_set>

#include "platform/home.hpp"
#include "platform/small_file.hpp"
#include "safety/path_rules.hpp"
#include "safety/resolved_home.hpp"
#include "safety/tables.hpp"
#include "util/text.hpp"

namespace orvc::safety {
namespace {

bool is_cloud_folder_name(const std::string& lowered) {
  for (std::string_view name : CLOUD_FOLDER_NAMES) {
    if (lowered == name) return true;
  }
  for (std::string_view prefix : kCloudFolderNamePrefixes) {
    if (lowered.starts_with(prefix)) return true;
  }
  return false;
}

bool in_named_home_folder(const std::string& path, const std::string& home) {
  if (!path_starts_with_ci(path, home)) return false;
  const size_t home_count = path_components(home).size();
  const std::vector<PathComponent> parts = path_components(path);
  if (parts.size() <= home_count || parts[home_count].kind != ComponentKind::Normal) return false;
  return is_cloud_folder_name(ascii_lower(lossy_utf8(parts[home_count].bytes)));
}

bool on_google_drive_volume(const std::string& path) {
  const std::vector<PathComponent> parts = path_components(path);
  if (parts.size() < 3 || parts[0].kind != ComponentKind::Root) return false;
  if (parts[1].kind != ComponentKind::Normal || parts[2].kind != ComponentKind::Normal)
    return false;
  if (!equals_ascii_ci(lossy_utf8(parts[1].bytes), kVolumesFolder)) return false;
  return ascii_lower(lossy_utf8(parts[2].bytes)).starts_with(kGoogleDriveVolumePrefix);
}

enum class Lookup { Match, NoMatch, NotInAFolder };

// The entry itself, without following a link; its type must match.
Lookup look_for(std::string_view folder, std::string_view name, mode_t type) {
  // Longer names are refused by the OS anyway (ENAMETOOLONG); skipping them avoids the copy.
  if (folder.size() + 1 + name.size() >= PATH_MAX) return Lookup::NoMatch;
  const std::string path = join_path(folder, name);
  if (path.find('\0') != std::string::npos) return Lookup::NoMatch;
  struct stat metadata {};
  if (lstat(path.c_str(), &metadata) == 0) {
    return (metadata.st_mode & S_IFMT) == type ? Lookup::Match : Lookup::NoMatch;
  }
  return errno == ENOTDIR ? Lookup::NotInAFolder : Lookup::NoMatch;
}

bool has_sync_marker(std::string_view folder) {
  const Lookup cache = look_for(folder, kDropboxCacheMarker, S_IFDIR);
  if (cache == Lookup::Match) return true;
  // A file (the usual item) holds no entries, so the second query would fail the same way.
  if (cache == Lookup::NotInAFolder) return false;
  return look_for(folder, kSyncRootMarkerFile, S_IFREG) == Lookup::Match;
}

// Folders this process has seen without a sync marker. A removal run asks about the same
// ancestors for every item in them; the answer is taken once per process (one command).
class MarkerlessFolders {
 public:
  bool contains(std::string_view folder) {
    std::shared_lock hold(lock_);
    return folders_.contains(std::string(folder));
  }
  void add(std::string_view folder) {
    std::unique_lock hold(lock_);
    folders_.emplace(folder);
  }

 private:
  std::shared_mutex lock_;
  std::unordered_set<std::string> folders_;
};

MarkerlessFolders& markerless_folders() {
  static MarkerlessFolders folders;
  return folders;
}

// The path itself and each ancestor that has a parent; the root is never examined. Ancestors are
// prefixes of the path text, so a deep path costs no copies beyond one at a time.
bool marker_in_path_or_ancestors(const std::string& path) {
  const std::vector<PathComponent> parts = path_components(path);
  bool itself = true;
  for (auto part = parts.rbegin(); part != parts.rend(); ++part) {
    if (part->kind == ComponentKind::Root) break;
    const size_t end = static_cast<size_t>(part->bytes.data() - path.data()) + part->bytes.size();
    const std::string_view folder = std::string_view(path).substr(0, end);
    if (!itself && markerless_folders().contains(folder)) continue;
    if (has_sync_marker(folder)) return true;
    if (!itself) markerless_folders().add(folder);
    itself = false;
  }
  return false;
}

}  // namespace

bool is_cloud_sync_path(const std::string& path, const std::optional<std::string>& home) {
  if (home) {
    if (path_starts_with_ci(path, join_relative(*home, kCloudStorageFolder))) return true;
    if (in_named_home_folder(path, *home)) return true;
  }
  return on_google_drive_volume(path) || marker_in_path_or_ancestors(path);
}

bool is_in_cloud_sync_folder(const std::string& path) {
  const std::string lexical = normalize_lexically(path);
  std::optional<std::string> home;
  if (auto value = home_env()) home = normalize_lexically(*value);
  if (is_cloud_sync_path(lexical, home)) return true;

  const std::optional<std::string> resolved = resolve_existing_prefix(lexical);
  if (resolved) {
    std::optional<std::string> canonical_home;
    if (home) canonical_home = safety::resolved_home(*home).value_or(*home);
    // Without links on either side the rules would only repeat the answer above.
    const bool same_answer = *resolved == lexical && canonical_home == home;
    if (!same_answer && is_cloud_sync_path(*resolved, canonical_home)) return true;
  }
  if (!home) return false;
  // The client may keep its settings behind a link; a target that is not a regular file is
  // refused before it is opened.
  const auto info = platform::read_small_file(join_relative(*home, kDropboxInfoFile),
                                              platform::FinalLink::Follow);
  if (!info) return false;
  std::vector<std::string> candidates = {lexical};
  if (resolved) candidates.push_back(*resolved);
  for (const std::string& root : dropbox_roots(*info)) {
    const std::string lexical_root = normalize_lexically(root);
    const std::string canonical_root = canonicalize(root).value_or(lexical_root);
    for (const std::string& candidate : candidates) {
      if (path_starts_with_ci(candidate, lexical_root) ||
          path_starts_with_ci(candidate, canonical_root)) {
        return true;
      }
    }
  }
  return false;
}

}  // namespace orvc::safety
