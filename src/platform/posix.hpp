#pragma once
// Helpers the macOS and Linux implementations share; not part of the platform interface.
#include <sys/types.h>

#include <optional>
#include <string>

namespace orvc::platform {

// realpath(3); nothing when it fails.
std::optional<std::string> realpath_of(const std::string& path);

// Copies `length` bytes at `offset` from one file to the other, at the same offset. Returns the
// bytes copied (0 at the source's end) or -1 with errno. Each platform gives its fastest way.
ssize_t copy_range(int from_fd, int to_fd, off_t offset, size_t length);

// copy_range through a buffer, with pread and pwrite.
ssize_t copy_range_by_reading(int from_fd, int to_fd, off_t offset, size_t length);

}  // namespace orvc::platform
