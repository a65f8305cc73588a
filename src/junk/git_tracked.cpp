#include "junk/git_tracked.hpp"

#include <sys/stat.h>

#include <memory>
#include <vector>

#include "gitignore/gitignore.hpp"
#include "platform/folder_stream.hpp"
#include "util/text.hpp"

namespace orvc::junk {
namespace {

using Context = std::shared_ptr<const gitignore::GitIgnoreContext>;
using gitignore::EntryKind;

struct PendingFolder {
  std::string path;
  Context context;
};

Context load_context(const std::string& folder) {
  auto context = gitignore::load_gitignore_context(folder);
  if (!context) return nullptr;
  return std::make_shared<const gitignore::GitIgnoreContext>(std::move(*context));
}

bool ignored(const Context& context, const std::string& path, EntryKind kind) {
  return gitignore::is_ignored(context->files, path, kind);
}

// Lists one folder: true at its first tracked entry; sub-folders that Git does not ignore as a
// whole go onto `pending`.
bool lists_tracked_entry(const PendingFolder& folder, std::vector<PendingFolder>& pending) {
  FolderStream listing(UniqueFd(open(folder.path.c_str(), kFolderOpenFlags)));
  if (!listing) return false;
  const int fd = listing.fd();
  while (const dirent* entry = listing.next()) {
    const std::string_view name = entry->d_name;
    // A repository's own data is never part of its working tree.
    if (name == ".git") continue;
    struct stat metadata {};
    if (fstatat(fd, entry->d_name, &metadata, AT_SYMLINK_NOFOLLOW) != 0) continue;
    std::string path = join_path(folder.path, name);
    if (!S_ISDIR(metadata.st_mode)) {
      if (!ignored(folder.context, path, EntryKind::File)) return true;
      continue;
    }
    struct stat git_entry {};
    if (fstatat(fd, (std::string(name) + "/.git").c_str(), &git_entry, 0) == 0) {
      // A nested repository keeps its own files, whatever the outer one ignores.
      if (Context nested = load_context(path)) {
        pending.push_back({std::move(path), std::move(nested)});
        continue;
      }
    }
    if (!ignored(folder.context, path, EntryKind::Folder)) {
      pending.push_back({std::move(path), folder.context});
    }
  }
  return false;
}

}  // namespace

bool holds_git_tracked_files(const std::string& folder) {
  Context context = load_context(folder);
  if (!context || ignored(context, folder, EntryKind::Folder)) return false;
  std::vector<PendingFolder> pending = {{folder, std::move(context)}};
  while (!pending.empty()) {
    const PendingFolder next = std::move(pending.back());
    pending.pop_back();
    if (lists_tracked_entry(next, pending)) return true;
  }
  return false;
}

}  // namespace orvc::junk
