#pragma once
// Small file-system steps shared by the history and the Trash mover.
#include <sys/types.h>

#include <string>

#include "util/expected.hpp"

namespace orvc::removal {

// mkdir -p: creates the folder and its missing parents with `mode` (before the umask).
// An existing folder is fine; the error names the folder that could not be made.
Status create_folders(const std::string& path, mode_t mode);

// Whether an entry is at `path`, without following a final symbolic link.
bool entry_exists(const std::string& path);

// Writes all of `bytes` to `fd`, retrying short writes and interruptions.
Status write_all(int fd, std::string_view bytes);

// Flushes a folder's entries to disk (best effort), so a rename inside it survives a power cut.
void flush_folder(const std::string& path);

}  // namespace orvc::removal
