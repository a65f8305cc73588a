// Before a copy across file systems: could the whole item be removed once it is copied? A copy
// that lands in the Trash while part of the source must stay would leave the user two halves.
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/platform.hpp"
#include "removal/copy_tree.hpp"
#include "removal/path_names.hpp"
#include "removal/tree_walk.hpp"
#include "util/text.hpp"
#include "util/unique_fd.hpp"

namespace orvc::removal {
namespace {

std::string quoted(std::string_view path) {
  return "'" + lossy_utf8(path) + "'";
}

std::string cannot_read(std::string_view path, int error) {
  return "cannot read " + quoted(path) + ": " + os_error_text(error);
}

struct Frame {
  UniqueFd fd;
  struct stat metadata {};
  std::vector<std::string> names;
  size_t next = 0;
};

class Checker {
 public:
  explicit Checker(std::string item) : item_(std::move(item)) {}

  Status run(int parent_fd, const std::string& name) {
    // A volume that cannot be asked is taken as writable; the folder tests below still run.
    struct statvfs volume {};
    if (fstatvfs(parent_fd, &volume) == 0 && (volume.f_flag & ST_RDONLY) != 0) {
      return refuse("it lies on a read-only file system");
    }
    struct stat parent {};
    const std::string parent_shown = parent_of(item_);
    if (fstat(parent_fd, &parent) != 0) return failure(cannot_read(parent_shown, errno));
    ORVC_TRY(check_folder(parent_fd, parent, parent_shown));

    ShownPath path(item_);
    struct stat item {};
    if (fstatat(parent_fd, name.c_str(), &item, AT_SYMLINK_NOFOLLOW) != 0) {
      return failure(cannot_read(item_, errno));
    }
    device_ = item.st_dev;
    ORVC_TRY(check_entry(parent_fd, parent, name, item_));
    while (!stack_.empty()) {
      Frame& top = stack_.back();
      if (top.next == top.names.size()) {
        stack_.pop_back();
        if (!stack_.empty()) path.leave();
        continue;
      }
      const std::string child = top.names[top.next++];
      const size_t depth = stack_.size();
      ORVC_TRY(check_entry(top.fd.get(), top.metadata, child, path.with(child)));
      if (stack_.size() > depth) path.enter(child);
    }
    return {};
  }

 private:
  std::unexpected<std::string> refuse(const std::string& why) const {
    return failure(quoted(item_) + " cannot be removed after copying: " + why);
  }

  // Removing entries needs write and search permission on their folder, and no flag on it.
  Status check_folder(int fd, const struct stat& metadata, std::string_view shown) const {
    if (faccessat(fd, ".", W_OK | X_OK, AT_EACCESS) != 0) {
      if (errno != EACCES && errno != EPERM && errno != EROFS) {
        return failure(cannot_read(shown, errno));
      }
      return refuse(quoted(shown) + " is not writable");
    }
    if (platform::has_unremovable_flag(fd, ".", metadata)) {
      return refuse(quoted(shown) + " is immutable or append-only");
    }
    return {};
  }

  // One entry of a folder; a sub-folder is checked itself and pushed for its entries.
  Status check_entry(int dir_fd, const struct stat& dir_metadata, const std::string& name,
                     const std::string& shown) {
    struct stat metadata {};
    if (fstatat(dir_fd, name.c_str(), &metadata, AT_SYMLINK_NOFOLLOW) != 0) {
      return failure(cannot_read(shown, errno));
    }
    if (!S_ISREG(metadata.st_mode) && !S_ISDIR(metadata.st_mode) && !S_ISLNK(metadata.st_mode)) {
      return failure("cannot copy " + quoted(shown) +
                     ": not a regular file, folder or symbolic link");
    }
    if (platform::has_unremovable_flag(dir_fd, name.c_str(), metadata)) {
      return refuse(quoted(shown) + " is immutable or append-only");
    }
    // In a sticky folder only the entry's owner, the folder's owner and root remove entries.
    const uid_t user = geteuid();
    if ((dir_metadata.st_mode & S_ISVTX) != 0 && user != 0 && metadata.st_uid != user &&
        dir_metadata.st_uid != user) {
      return refuse(quoted(shown) + " belongs to another user in a folder with the sticky bit");
    }
    if (!S_ISDIR(metadata.st_mode)) return {};
    // A mount point cannot be removed, and copying it would copy a whole other volume.
    if (metadata.st_dev != device_) {
      return refuse(quoted(shown) + " is the mount point of another file system");
    }

    UniqueFd fd(openat(dir_fd, name.c_str(), kFolderOpenFlags));
    if (!fd) return failure(cannot_read(shown, errno));
    if (fstat(fd.get(), &metadata) != 0) return failure(cannot_read(shown, errno));
    ORVC_TRY(check_folder(fd.get(), metadata, shown));
    auto names = list_names(fd.get());
    if (!names) return failure("cannot read " + quoted(shown) + ": " + names.error());
    stack_.push_back(Frame{std::move(fd), metadata, std::move(*names), 0});
    return {};
  }

  std::string item_;
  dev_t device_ = 0;  // the item's file system
  std::vector<Frame> stack_;
};

}  // namespace

Status check_removable_tree_at(int parent_fd, const std::string& name, std::string_view shown) {
  return Checker(std::string(shown_or(shown, name))).run(parent_fd, name);
}

}  // namespace orvc::removal
