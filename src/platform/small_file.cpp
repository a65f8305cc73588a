#include "platform/small_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>

#include "util/text.hpp"
#include "util/unique_fd.hpp"

namespace orvc::platform {
namespace {

constexpr const char* kNotRegular = "not a regular file";
constexpr const char* kLink = "a symbolic link, not followed";
constexpr const char* kTooLarge = "larger than 16 MiB";

Status check_regular(const struct stat& metadata) {
  if (S_ISDIR(metadata.st_mode)) return failure(os_error_text(EISDIR));
  if (S_ISLNK(metadata.st_mode)) return failure(kLink);
  if (!S_ISREG(metadata.st_mode)) return failure(kNotRegular);
  if (static_cast<uint64_t>(metadata.st_size) > kSmallFileLimit) return failure(kTooLarge);
  return {};
}

}  // namespace

Result<std::string> read_small_file(const std::string& path, FinalLink links) {
  return read_small_file_at(AT_FDCWD, path, links);
}

Result<std::string> read_small_file_at(int dir_fd, const std::string& name, FinalLink links) {
  if (name.find('\0') != std::string::npos) return failure(os_error_text(EINVAL));
  // Opening a device or a socket can itself do something, so the entry is looked at first;
  // the open then must find the same file (non-blocking, in case a FIFO took its place).
  struct stat target {};
  const int look_flags = links == FinalLink::Follow ? 0 : AT_SYMLINK_NOFOLLOW;
  if (fstatat(dir_fd, name.c_str(), &target, look_flags) != 0) {
    return failure(os_error_text(errno));
  }
  ORVC_TRY(check_regular(target));
  int flags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
  if (links == FinalLink::Refuse) flags |= O_NOFOLLOW;
  const UniqueFd file(openat(dir_fd, name.c_str(), flags));
  if (!file) return failure(os_error_text(errno));
  struct stat metadata {};
  if (fstat(file.get(), &metadata) != 0) return failure(os_error_text(errno));
  ORVC_TRY(check_regular(metadata));
  if (metadata.st_dev != target.st_dev || metadata.st_ino != target.st_ino) {
    return failure("replaced while it was opened");
  }

  std::string content;
  // Not zeroed first: that would cost more than reading a small record, and history reads
  // thousands of them.
  std::array<char, 16384> buffer;
  while (true) {
    const ssize_t count = read(file.get(), buffer.data(), buffer.size());
    if (count < 0) {
      if (errno == EINTR) continue;
      return failure(os_error_text(errno));
    }
    if (count == 0) break;
    // A file that grows while it is read is held to the same limit.
    if (content.size() + static_cast<size_t>(count) > kSmallFileLimit) return failure(kTooLarge);
    content.append(buffer.data(), static_cast<size_t>(count));
    // A short read that reaches the size seen at the open is the end: history reads thousands
    // of small records, and the read that would only say so is left out.
    if (static_cast<size_t>(count) < buffer.size() &&
        content.size() >= static_cast<uint64_t>(metadata.st_size)) {
      break;
    }
  }
  return content;
}

}  // namespace orvc::platform
