#include "util/long_path.hpp"

#include <fcntl.h>
#include <limits.h>
#include <unistd.h>

#include <cerrno>

#include "util/unique_fd.hpp"

namespace orvc {

int open_long_path(const std::string& path, int flags, unsigned mode) {
  // Well below PATH_MAX, so every piece is short enough for one call.
  constexpr size_t kPiece = PATH_MAX / 2;
  if (path.size() < kPiece) return open(path.c_str(), flags, mode);
  UniqueFd opened;  // AT_FDCWD until the first piece is open
  int folder = AT_FDCWD;
  size_t start = 0;
  while (path.size() - start >= kPiece) {
    // A doubled slash inside the path must not turn the next piece into an absolute one.
    while (start > 0 && start < path.size() && path[start] == '/') ++start;
    if (path.size() - start < kPiece) break;
    size_t cut = path.rfind('/', start + kPiece);
    // A single name longer than a piece cannot be opened at all.
    if (cut == std::string::npos || cut <= start) cut = path.find('/', start + 1);
    if (cut == std::string::npos) break;
    const std::string piece = cut == 0 ? std::string("/") : path.substr(start, cut - start);
    opened.reset(openat(folder, piece.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!opened) return -1;
    folder = opened.get();
    start = cut + 1;
  }
  return openat(folder, path.c_str() + start, flags, mode);
}

}  // namespace orvc
