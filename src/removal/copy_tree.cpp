#include "removal/copy_tree.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <vector>

#include "platform/platform.hpp"
#include "removal/dir_handle.hpp"
#include "removal/file_ops.hpp"
#include "removal/path_names.hpp"
#include "util/text.hpp"

namespace orvc::removal {
namespace {

struct FdCloser {
  int fd = -1;
  ~FdCloser() {
    if (fd >= 0) close(fd);
  }
};

Status os_failure() {
  return failure(os_error_text(errno));
}

Status copy_file(const std::string& source, const std::string& destination, mode_t mode) {
  FdCloser in{open(source.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC)};
  if (in.fd < 0) return os_failure();
  FdCloser out{open(destination.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600)};
  if (out.fd < 0) return os_failure();
  std::vector<char> buffer(size_t{1} << 20);
  while (true) {
    const ssize_t n = read(in.fd, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return os_failure();
    if (n == 0) break;
    ORVC_TRY(write_all(out.fd, std::string_view(buffer.data(), static_cast<size_t>(n))));
  }
  if (fchmod(out.fd, mode & 07777) != 0) return os_failure();
  // The source goes away after the copy; the copy must be on disk first.
  if (fsync(out.fd) != 0) return os_failure();
  const int fd = out.fd;
  out.fd = -1;
  if (close(fd) != 0 && errno != EINTR) return os_failure();
  return {};
}

Status copy_link(const std::string& source, const std::string& destination) {
  std::string target(4096, '\0');
  while (true) {
    const ssize_t n = readlink(source.c_str(), target.data(), target.size());
    if (n < 0) return os_failure();
    if (static_cast<size_t>(n) < target.size()) {
      target.resize(static_cast<size_t>(n));
      break;
    }
    target.resize(target.size() * 2);
  }
  if (symlink(target.c_str(), destination.c_str()) != 0) return os_failure();
  return {};
}

Result<std::vector<std::string>> entry_names(const std::string& folder) {
  DirHandle dir(opendir(folder.c_str()));
  if (!dir) return failure(os_error_text(errno));
  std::vector<std::string> names;
  while (true) {
    errno = 0;
    const dirent* entry = readdir(dir.get());
    if (!entry) {
      if (errno != 0) return failure(os_error_text(errno));
      break;
    }
    const std::string_view name = entry->d_name;
    if (name != "." && name != "..") names.emplace_back(name);
  }
  return names;
}

Result<CopiedEntry> copy_entry(const std::string& source, const std::string& destination,
                               std::string name) {
  CopiedEntry copied{std::move(name), {}, {}};
  struct stat& metadata = copied.metadata;
  if (lstat(source.c_str(), &metadata) != 0) return failure(os_error_text(errno));
  if (S_ISLNK(metadata.st_mode)) {
    ORVC_TRY(copy_link(source, destination));
    return copied;
  }
  if (S_ISREG(metadata.st_mode)) {
    ORVC_TRY(copy_file(source, destination, metadata.st_mode));
    return copied;
  }
  if (!S_ISDIR(metadata.st_mode)) {
    return failure("cannot copy '" + lossy_utf8(source) +
                   "': not a regular file, folder or symbolic link");
  }
  if (mkdir(destination.c_str(), 0700) != 0) return failure(os_error_text(errno));
  // Names are read first, so an open folder handle is not held across the recursion.
  for (auto& entry : ORVC_TRY(entry_names(source))) {
    const std::string from = join_path(source, entry);
    const std::string to = join_path(destination, entry);
    copied.children.push_back(ORVC_TRY(copy_entry(from, to, std::move(entry))));
  }
  if (chmod(destination.c_str(), metadata.st_mode & 07777) != 0) {
    return failure(os_error_text(errno));
  }
  return copied;
}

bool same_time(const timespec& a, const timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

bool same_object(const struct stat& now, const struct stat& then) {
  return now.st_dev == then.st_dev && now.st_ino == then.st_ino &&
         (now.st_mode & S_IFMT) == (then.st_mode & S_IFMT);
}

// A write, a truncation or a change of mode or owner moves the change time on.
bool unchanged(const struct stat& now, const struct stat& then) {
  return same_object(now, then) && now.st_size == then.st_size &&
         same_time(platform::modified_time(now), platform::modified_time(then)) &&
         same_time(platform::changed_time(now), platform::changed_time(then));
}

// `left` is set when something stays because it changed, or is new.
Status remove_copied_at(int parent_fd, const CopiedEntry& copied, bool& left) {
  const char* name = copied.name.c_str();
  struct stat now {};
  if (fstatat(parent_fd, name, &now, AT_SYMLINK_NOFOLLOW) != 0) {
    if (errno == ENOENT) return {};  // gone already: nothing to lose
    return os_failure();
  }
  if (!S_ISDIR(copied.metadata.st_mode)) {
    if (!unchanged(now, copied.metadata)) {
      left = true;
      return {};
    }
    if (unlinkat(parent_fd, name, 0) != 0) return os_failure();
    return {};
  }
  if (!same_object(now, copied.metadata)) {
    left = true;
    return {};
  }
  FdCloser folder{openat(parent_fd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)};
  if (folder.fd < 0) return os_failure();
  if (fstat(folder.fd, &now) != 0) return os_failure();
  if (!same_object(now, copied.metadata)) {
    left = true;
    return {};
  }
  for (const CopiedEntry& child : copied.children) {
    ORVC_TRY(remove_copied_at(folder.fd, child, left));
  }
  if (unlinkat(parent_fd, name, AT_REMOVEDIR) != 0) {
    if (errno != ENOTEMPTY && errno != EEXIST) return os_failure();
    left = true;
  }
  return {};
}

Status remove_folder_content(int folder_fd);

Status remove_entry_at(int parent_fd, const char* name) {
  const int fd = openat(parent_fd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    if (errno != ENOTDIR && errno != ELOOP) return os_failure();
    if (unlinkat(parent_fd, name, 0) != 0) return os_failure();
    return {};
  }
  ORVC_TRY(remove_folder_content(fd));
  if (unlinkat(parent_fd, name, AT_REMOVEDIR) != 0) return os_failure();
  return {};
}

// Takes ownership of `folder_fd`.
Status remove_folder_content(int folder_fd) {
  DIR* raw = fdopendir(folder_fd);
  if (!raw) {
    const int error = errno;
    close(folder_fd);
    return failure(os_error_text(error));
  }
  DirHandle dir(raw);
  while (true) {
    errno = 0;
    const dirent* entry = readdir(dir.get());
    if (!entry) {
      if (errno != 0) return os_failure();
      return {};
    }
    const std::string_view name = entry->d_name;
    if (name == "." || name == "..") continue;
    ORVC_TRY(remove_entry_at(dirfd(dir.get()), entry->d_name));
  }
}

}  // namespace

Result<CopiedEntry> copy_tree(const std::string& source, const std::string& destination) {
  const std::string parent = parent_of(destination);
  if (!entry_exists(parent)) ORVC_TRY(create_folders(parent, 0777));
  return copy_entry(source, destination, last_normal_component(source).value_or(""));
}

Status remove_copied(const std::string& path, const CopiedEntry& copied) {
  if (copied.name.empty()) return failure(os_error_text(EINVAL));
  FdCloser parent_fd{open(parent_of(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
  if (parent_fd.fd < 0) return os_failure();
  bool left = false;
  ORVC_TRY(remove_copied_at(parent_fd.fd, copied, left));
  if (left) {
    return failure("'" + lossy_utf8(path) +
                   "' changed while it was copied; what changed was left in place");
  }
  return {};
}

Status remove_tree(const std::string& path) {
  const auto name = last_normal_component(path);
  if (!name) return failure(os_error_text(EINVAL));
  const std::string parent = parent_of(path);
  FdCloser parent_fd{open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
  if (parent_fd.fd < 0) return os_failure();
  return remove_entry_at(parent_fd.fd, name->c_str());
}

}  // namespace orvc::removal
