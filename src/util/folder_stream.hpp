#pragma once
// One open folder listing, closed when it goes out of scope, and the few ways to get one.
#include <dirent.h>
#include <fcntl.h>

#include <cerrno>
#include <string>
#include <utility>
#include <vector>

#include "util/expected.hpp"
#include "util/unique_fd.hpp"

namespace orvc {

// Opens a folder for listing and for the *at calls; a final symbolic link is not followed.
inline constexpr int kFolderOpenFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

class FolderStream {
 public:
  FolderStream() = default;
  // Lists the open folder `folder` and owns its descriptor from now on. Empty, with errno set,
  // when it cannot be listed; the descriptor is closed then.
  explicit FolderStream(UniqueFd folder) {
    if (!folder) return;
    dir_ = fdopendir(folder.get());
    if (dir_) folder.release();
  }
  // opendir(3): a final symbolic link is followed.
  static FolderStream open(const std::string& path) {
    FolderStream stream;
    stream.dir_ = opendir(path.c_str());
    return stream;
  }
  // A listing of its own over a duplicate of `folder_fd`, which stays open and usable. The
  // listing goes on from the descriptor's shared position.
  static FolderStream of_duplicate(int folder_fd) {
    const int copy = fcntl(folder_fd, F_DUPFD_CLOEXEC, 0);
    return copy < 0 ? FolderStream() : FolderStream(UniqueFd(copy));
  }

  FolderStream(FolderStream&& other) noexcept : dir_(std::exchange(other.dir_, nullptr)) {}
  FolderStream& operator=(FolderStream&& other) noexcept {
    if (this != &other) {
      reset();
      dir_ = std::exchange(other.dir_, nullptr);
    }
    return *this;
  }
  FolderStream(const FolderStream&) = delete;
  FolderStream& operator=(const FolderStream&) = delete;
  ~FolderStream() { reset(); }

  explicit operator bool() const { return dir_ != nullptr; }
  DIR* get() const { return dir_; }
  // The folder's descriptor, for the *at calls; owned by the stream.
  int fd() const { return dirfd(dir_); }

  // The next entry other than "." and ".."; nullptr at the end (errno 0) or on a read error
  // (errno set).
  const dirent* next() {
    while (true) {
      errno = 0;
      const dirent* entry = readdir(dir_);
      if (entry == nullptr || !is_dot_or_dot_dot(entry->d_name)) return entry;
    }
  }

  void reset() {
    if (dir_) closedir(std::exchange(dir_, nullptr));
  }

 private:
  static bool is_dot_or_dot_dot(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
  }

  DIR* dir_ = nullptr;
};

// The names in an open listing from its position on, in listing order; the error is the OS's.
Result<std::vector<std::string>> read_names(FolderStream& listing);

// The names in the folder at `path` (a final link followed), in listing order; as many as could
// be read, none when it cannot be opened.
std::vector<std::string> names_in(const std::string& path);

}  // namespace orvc
