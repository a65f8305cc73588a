#include "removal/file_ops.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "util/lexical_path.hpp"
#include "util/text.hpp"
#include "util/unique_fd.hpp"

namespace orvc::removal {

namespace {

std::unexpected<std::string> cannot_create(const std::string& path, int error) {
  return failure("cannot create '" + lossy_utf8(path) + "': " + os_error_text(error));
}

}  // namespace

Status create_folders(const std::string& path, mode_t mode) {
  if (path.empty()) return cannot_create(path, ENOENT);
  // Every move asks; the folder nearly always exists already.
  struct stat metadata {};
  if (stat(path.c_str(), &metadata) == 0 && S_ISDIR(metadata.st_mode)) return {};
  if (mkdir(path.c_str(), mode) == 0) return {};
  const int error = errno;
  if (error == EEXIST) {
    if (stat(path.c_str(), &metadata) == 0 && S_ISDIR(metadata.st_mode)) return {};
    return cannot_create(path, EEXIST);
  }
  if (error != ENOENT) return cannot_create(path, error);
  const std::optional<std::string_view> parent = parent_path(path);
  if (!parent || parent->empty() || *parent == "/") return cannot_create(path, error);
  ORVC_TRY(create_folders(std::string(*parent), mode));
  if (mkdir(path.c_str(), mode) == 0 || errno == EEXIST) return {};
  return cannot_create(path, errno);
}

bool entry_exists(const std::string& path) {
  struct stat metadata {};
  return lstat(path.c_str(), &metadata) == 0;
}

Status write_all(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return failure(os_error_text(errno));
    }
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return {};
}

void flush_folder(const std::string& path) {
  const UniqueFd fd(open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd) fsync(fd.get());
}

}  // namespace orvc::removal
