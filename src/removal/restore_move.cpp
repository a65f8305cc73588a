#include "removal/restore_move.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/folder_stream.hpp"
#include "platform/platform.hpp"
#include "removal/copy_tree.hpp"
#include "removal/path_names.hpp"
#include "safety/protection.hpp"
#include "util/lexical_path.hpp"
#include "util/text.hpp"

namespace orvc::removal {
namespace {

RestoreStep step(RestoreVerdict verdict, std::string message = {}) {
  return RestoreStep{verdict, std::move(message)};
}

std::string quoted(std::string_view path) {
  return "'" + lossy_utf8(path) + "'";
}

bool is_link_at(int dir_fd, const char* name) {
  struct stat metadata {};
  return fstatat(dir_fd, name, &metadata, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(metadata.st_mode);
}

bool exists_at(int dir_fd, const std::string& name) {
  struct stat metadata {};
  return fstatat(dir_fd, name.c_str(), &metadata, AT_SYMLINK_NOFOLLOW) == 0;
}

// Opens `path` from "/" one component at a time, never through a link; missing folders are
// created unless `create` is false, when no descriptor stands for "would be created". The error
// is a step because a link on the way refuses the item where any other failure fails it.
std::expected<UniqueFd, RestoreStep> open_folder_chain(const std::string& path, bool create) {
  const auto failed = [](std::string message) {
    return std::unexpected(step(RestoreVerdict::Failed, std::move(message)));
  };
  UniqueFd fd(open("/", kFolderOpenFlags));
  if (!fd) return failed("cannot open '/': " + os_error_text(errno));
  std::string prefix;
  size_t start = 0;
  while (start < path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    const std::string component = path.substr(start, end - start);
    start = end + 1;
    if (component.empty() || component == ".") continue;
    prefix += "/" + component;
    UniqueFd next(openat(fd.get(), component.c_str(), kFolderOpenFlags));
    if (!next && errno == ENOENT) {
      if (!create) return UniqueFd();
      if (mkdirat(fd.get(), component.c_str(), 0777) != 0 && errno != EEXIST) {
        return failed("cannot create " + quoted(prefix) + ": " + os_error_text(errno));
      }
      next.reset(openat(fd.get(), component.c_str(), kFolderOpenFlags));
    }
    if (!next) {
      const int error = errno;
      if (is_link_at(fd.get(), component.c_str())) {
        return std::unexpected(
            step(RestoreVerdict::Refused,
                 "refused: the folder " + quoted(prefix) + " on its way is a symbolic link"));
      }
      return failed("cannot open the folder " + quoted(prefix) + ": " + os_error_text(error));
    }
    fd = std::move(next);
  }
  return fd;
}

void remove_record(const RecordedItem& item) {
  if (!item.info_dir) return;
  // A record left without its entry is harmless: Trash tools skip it, and the next removal run
  // tidies it (trash_tidy).
  unlink(join_path(*item.info_dir, item.name + ".trashinfo").c_str());
}

}  // namespace

std::string partial_name(const std::string& name) {
  return "." + name + ".orvc-partial";
}

Result<int> RestoreMover::trash_folder(const std::string& path) {
  if (const auto found = trash_folders_.find(path); found != trash_folders_.end()) {
    return found->second.get();
  }
  UniqueFd fd(open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!fd) return failure("cannot open " + quoted(path) + ": " + os_error_text(errno));
  return trash_folders_.emplace(path, std::move(fd)).first->second.get();
}

RestoreStep RestoreMover::restore(const RecordedItem& item, const std::string& destination) {
  const std::optional<std::string> name(last_component(destination));
  if (!name) return step(RestoreVerdict::Failed, quoted(destination) + ": no file name");
  if (safety::is_protected_path(destination)) {
    return step(
        RestoreVerdict::Refused,
        quoted(destination) + ": refused: it is in (or resolves into) a protected location");
  }
  const std::string parent = parent_of(destination);
  int parent_fd = -1;
  if (const auto found = folders_.find(parent); found != folders_.end()) {
    parent_fd = found->second.get();
  } else {
    auto opened = open_folder_chain(parent, mode_ == RestoreMode::Apply);
    if (!opened) {
      return step(opened.error().verdict, quoted(destination) + ": " + opened.error().message);
    }
    parent_fd = opened->get();
    folders_.emplace(parent, std::move(*opened));
  }
  const RestoreStep exists =
      step(RestoreVerdict::Exists,
           quoted(destination) + " exists; left in the Trash as " + quoted(item.name));
  if (parent_fd >= 0 && exists_at(parent_fd, *name)) return exists;
  if (mode_ == RestoreMode::DryRun) return step(RestoreVerdict::WouldRestore);

  auto trash_fd = trash_folder(item.files_dir);
  if (!trash_fd) return step(RestoreVerdict::Failed, quoted(destination) + ": " + trash_fd.error());
  const auto renamed =
      platform::rename_no_replace_at(*trash_fd, item.name.c_str(), parent_fd, name->c_str());
  if (renamed) {
    remove_record(item);
    return step(RestoreVerdict::Restored);
  }
  const int error = renamed.error();
  if (error == EEXIST) return exists;
  if (error != EXDEV) {
    return step(RestoreVerdict::Failed, quoted(destination) + ": " + os_error_text(error));
  }

  // Another file system: copy beside the destination, rename into place, then empty the Trash
  // entry. A partial copy left by an earlier, interrupted restore goes first.
  const auto folder_path = platform::folder_fd_path(parent_fd);
  const auto trash_path = platform::folder_fd_path(*trash_fd);
  if (!folder_path || !trash_path) {
    return step(RestoreVerdict::Failed,
                quoted(destination) + ": the Trash is on another file system");
  }
  const std::string partial = partial_name(*name);
  const std::string staging = join_path(*folder_path, partial);
  const std::string source = join_path(*trash_path, item.name);
  if (exists_at(parent_fd, partial)) {
    if (auto tidied = remove_tree(staging); !tidied) {
      return step(RestoreVerdict::Failed, quoted(destination) +
                                              ": cannot remove the partial copy " +
                                              quoted(partial) + ": " + tidied.error());
    }
  }
  // What a failed copy leaves is removed; when that fails too, the message says so (the next
  // restore of the item removes it first).
  const auto discard_staging = [&](RestoreStep failed) {
    if (auto removed = remove_tree(staging); !removed) {
      failed.message +=
          "; the partial copy " + quoted(partial) + " could not be removed: " + removed.error();
    }
    return failed;
  };
  auto copied = copy_tree(source, staging);
  if (!copied) {
    return discard_staging(
        step(RestoreVerdict::Failed,
             quoted(destination) + ": copy from the Trash failed: " + copied.error()));
  }
  const auto placed =
      platform::rename_no_replace_at(parent_fd, partial.c_str(), parent_fd, name->c_str());
  if (!placed) {
    if (placed.error() == EEXIST) return discard_staging(exists);
    return discard_staging(
        step(RestoreVerdict::Failed, quoted(destination) + ": " + os_error_text(placed.error())));
  }
  // From here the item is whole at its destination; what stays in the Trash is a copy.
  if (auto removed = remove_copied(source, *copied); !removed) {
    return step(RestoreVerdict::Restored,
                quoted(destination) + ": restored, but the Trash entry stays: " + removed.error());
  }
  remove_record(item);
  return step(RestoreVerdict::Restored);
}

}  // namespace orvc::removal
