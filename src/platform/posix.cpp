// The calls that macOS and Linux share.
#include "platform/posix.hpp"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/platform.hpp"
#include "util/text.hpp"

namespace orvc::platform {

bool canonical_path_form(std::string_view path) {
  if (path.empty() || path.front() != '/') return false;
  if (path == "/") return true;
  if (path.back() == '/') return false;
  for (const std::string_view bad : {"//", "/./", "/../"}) {
    if (path.find(bad) != std::string_view::npos) return false;
  }
  return !path.ends_with("/.") && !path.ends_with("/..");
}

std::optional<unsigned> online_processors() {
  const long n = sysconf(_SC_NPROCESSORS_ONLN);
  if (n < 1) return std::nullopt;
  return static_cast<unsigned>(n);
}

std::optional<std::string> password_database_home() {
  std::array<char, 16384> buffer{};
  struct passwd entry {};
  struct passwd* found = nullptr;
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found) {
    return std::nullopt;
  }
  if (!found->pw_dir || found->pw_dir[0] == '\0') return std::nullopt;
  return std::string(found->pw_dir);
}

std::optional<std::string> realpath_of(const std::string& path) {
  std::unique_ptr<char, decltype(&std::free)> resolved(realpath(path.c_str(), nullptr), &std::free);
  if (!resolved) return std::nullopt;
  return std::string(resolved.get());
}

ssize_t copy_range_by_reading(int from_fd, int to_fd, off_t offset, size_t length) {
  std::vector<char> buffer(std::min<size_t>(length, size_t{1} << 20));
  ssize_t n = 0;
  do {
    n = pread(from_fd, buffer.data(), buffer.size(), offset);
  } while (n < 0 && errno == EINTR);
  if (n <= 0) return n;
  size_t written = 0;
  while (written < static_cast<size_t>(n)) {
    const ssize_t w = pwrite(to_fd, buffer.data() + written, static_cast<size_t>(n) - written,
                             offset + static_cast<off_t>(written));
    if (w < 0 && errno == EINTR) continue;
    if (w < 0) return -1;
    written += static_cast<size_t>(w);
  }
  return n;
}

Status copy_file_data(int from_fd, int to_fd, off_t size) {
  off_t offset = 0;
  while (offset < size) {
    off_t data = lseek(from_fd, offset, SEEK_DATA);
    off_t hole = size;
    if (data < 0) {
      if (errno == ENXIO) break;  // only a hole is left
      // A file system that cannot tell where its holes are: everything left is data.
      if (errno != EINVAL && errno != ENOTSUP && errno != EOPNOTSUPP) {
        return failure(os_error_text(errno));
      }
      data = offset;
    } else {
      hole = lseek(from_fd, data, SEEK_HOLE);
      if (hole < 0) return failure(os_error_text(errno));
    }
    if (data >= size) break;
    hole = std::min(hole, size);
    for (off_t at = data; at < hole;) {
      const ssize_t n = copy_range(from_fd, to_fd, at, static_cast<size_t>(hole - at));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return failure(os_error_text(errno));
      // The source shrank while it was copied: what it lost ends as zeros, and the change shows
      // when the copied item is compared before its removal.
      if (n == 0) break;
      at += n;
    }
    offset = hole;
  }
  // Trailing holes and the exact length.
  if (ftruncate(to_fd, size) != 0) return failure(os_error_text(errno));
  return {};
}

}  // namespace orvc::platform
