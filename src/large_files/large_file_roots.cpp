#include <sys/stat.h>

#include <algorithm>
#include <optional>

#include "large_files/large_file_finder.hpp"
#include "platform/folder_stream.hpp"
#include "platform/home.hpp"
#include "platform/platform.hpp"
#include "scan/skip_tables.hpp"
#include "util/file_identity.hpp"
#include "util/text.hpp"

namespace orvc::large_files {
namespace {

std::optional<FileIdentity> trash_identity(const std::string& home) {
  const auto trash = platform::user_trash(home);
  struct stat metadata {};
  if (!trash || stat(trash->root.c_str(), &metadata) != 0) return std::nullopt;
  return identity_of(metadata);
}

// The names the crawl passes over below a root are passed over as roots too.
bool is_passed_over(std::string_view name) {
  // The home folder's Library holds application data, not the user's own files.
  if (name == "Library" || scan::is_skipped_name(name)) return true;
  return std::ranges::any_of(LARGE_FILE_SKIP_DIRS, [&](std::string_view skipped) {
    return equals_ascii_ci(name, skipped);
  });
}

}  // namespace

Result<std::vector<std::string>> large_file_roots() {
  const auto home = home_env();
  if (!home) return failure("HOME environment variable is not set");
  FolderStream listing = FolderStream::open(*home);
  if (!listing) return std::vector<std::string>{*home};
  const std::optional<FileIdentity> trash = trash_identity(*home);
  std::vector<std::string> roots;
  while (const dirent* entry = listing.next()) {
    const std::string_view name = entry->d_name;
    if (is_passed_over(name)) continue;
    std::string path = join_path(*home, name);
    if (scan::is_skipped_path(path)) continue;
    // The Trash is never walked, wherever the platform keeps it.
    struct stat metadata {};
    if (trash && fstatat(listing.fd(), entry->d_name, &metadata, AT_SYMLINK_NOFOLLOW) == 0 &&
        identity_of(metadata) == *trash) {
      continue;
    }
    roots.push_back(std::move(path));
  }
  return roots;
}

}  // namespace orvc::large_files
