#include "removal/copy_tree.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <vector>

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

Status copy_entry(const std::string& source, const std::string& destination) {
  struct stat metadata {};
  if (lstat(source.c_str(), &metadata) != 0) return os_failure();
  if (S_ISLNK(metadata.st_mode)) return copy_link(source, destination);
  if (S_ISREG(metadata.st_mode)) return copy_file(source, destination, metadata.st_mode);
  if (!S_ISDIR(metadata.st_mode)) {
    return failure("cannot copy '" + lossy_utf8(source) +
                   "': not a regular file, folder or symbolic link");
  }
  if (mkdir(destination.c_str(), 0700) != 0) return os_failure();
  // Names are read first, so an open folder handle is not held across the recursion.
  for (const auto& name : ORVC_TRY(entry_names(source))) {
    ORVC_TRY(copy_entry(join_path(source, name), join_path(destination, name)));
  }
  if (chmod(destination.c_str(), metadata.st_mode & 07777) != 0) return os_failure();
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

Status copy_tree(const std::string& source, const std::string& destination) {
  const std::string parent = parent_of(destination);
  if (!entry_exists(parent)) ORVC_TRY(create_folders(parent, 0777));
  return copy_entry(source, destination);
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
