#pragma once
// The one reader of the small files the program consults: the protected-paths list, the
// Dropbox client's info.json, ".gitignore" files, history manifests and .trashinfo records.
#include <cstdint>
#include <string>

#include "util/expected.hpp"

namespace orvc::platform {

// Larger files count as unreadable: nothing the program reads is legitimately this big, and a
// file that keeps growing must not take all memory.
inline constexpr uint64_t kSmallFileLimit = uint64_t{16} << 20;

// Whether a symbolic link in the file's place is read through. A followed link's target must be
// a regular file before it is opened, so a link to a device or a FIFO never opens it.
enum class FinalLink { Refuse, Follow };

// The bytes of a regular file of at most kSmallFileLimit bytes. Never blocks, and never opens
// anything but a regular file: a FIFO, socket or device fails with "not a regular file", a
// refused link with "a symbolic link, not followed", a folder and anything else with the OS
// error text, a file larger than the limit with "larger than 16 MiB".
Result<std::string> read_small_file(const std::string& path, FinalLink links);

// The same for the entry `name` of the open folder `dir_fd`.
Result<std::string> read_small_file_at(int dir_fd, const std::string& name, FinalLink links);

}  // namespace orvc::platform
