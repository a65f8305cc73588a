#include "removal/tree_walk.hpp"

#include <dirent.h>
#include <unistd.h>

#include <cerrno>

#include "removal/dir_handle.hpp"
#include "util/text.hpp"

namespace orvc::removal {

Result<std::vector<std::string>> list_names(int folder_fd) {
  // The listing owns a duplicate, so the caller's descriptor outlives it; the listing starts
  // from the beginning whatever the shared offset was.
  const int copy = dup(folder_fd);
  if (copy < 0) return failure(os_error_text(errno));
  DirHandle dir(fdopendir(copy));
  if (!dir) {
    const int error = errno;
    close(copy);
    return failure(os_error_text(error));
  }
  rewinddir(dir.get());
  std::vector<std::string> names;
  while (true) {
    errno = 0;
    const dirent* entry = readdir(dir.get());
    if (!entry) {
      if (errno != 0) return failure(os_error_text(errno));
      return names;
    }
    const std::string_view name = entry->d_name;
    if (name != "." && name != "..") names.emplace_back(name);
  }
}

}  // namespace orvc::removal
