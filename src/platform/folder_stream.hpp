#pragma once
// One open folder listing, closed when it goes out of scope, and the few ways to get one. Linux
// reads the entries with getdents64 into the stream's own buffer: fdopendir would check the
// descriptor and set its flags first, three system calls per folder that a walk of many small
// folders pays for in full.
#include <dirent.h>
#include <fcntl.h>

#include <cerrno>
#include <memory>
#include <string>
#include <vector>

#include "util/expected.hpp"
#include "util/unique_fd.hpp"

namespace orvc {

// Opens a folder for listing and for the *at calls; a final symbolic link is not followed.
inline constexpr int kFolderOpenFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

namespace platform {
// The system's reading state of one open folder (platform_linux.cpp, platform_macos.cpp).
struct FolderListing;
// Takes `folder` over and starts listing it; nothing, with errno set and `folder` left as it
// was, when it cannot be listed.
FolderListing* open_listing(UniqueFd& folder);
// The next entry, "." and ".." included; nullptr at the end (errno 0) or on a read error
// (errno set).
const dirent* next_entry(FolderListing& listing);
void rewind_listing(FolderListing& listing);
int listing_fd(const FolderListing& listing);
void close_listing(FolderListing* listing);
}  // namespace platform

class FolderStream {
 public:
  FolderStream() = default;
  // Lists the open folder `folder` and owns its descriptor from now on. Empty, with errno set,
  // when it cannot be listed; the descriptor is closed then.
  explicit FolderStream(UniqueFd folder) {
    if (folder) listing_.reset(platform::open_listing(folder));
  }
  // Like opendir(3): a final symbolic link is followed.
  static FolderStream open(const std::string& path) {
    return FolderStream(UniqueFd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)));
  }
  // A listing of its own over a duplicate of `folder_fd`, which stays open and usable. The
  // listing goes on from the descriptor's shared position.
  static FolderStream of_duplicate(int folder_fd) {
    const int copy = fcntl(folder_fd, F_DUPFD_CLOEXEC, 0);
    return copy < 0 ? FolderStream() : FolderStream(UniqueFd(copy));
  }

  explicit operator bool() const { return listing_ != nullptr; }
  // The folder's descriptor, for the *at calls; owned by the stream.
  int fd() const { return platform::listing_fd(*listing_); }

  // The next entry other than "." and ".."; nullptr at the end (errno 0) or on a read error
  // (errno set).
  const dirent* next() {
    while (true) {
      errno = 0;
      const dirent* entry = platform::next_entry(*listing_);
      if (entry == nullptr || !is_dot_or_dot_dot(entry->d_name)) return entry;
    }
  }

  // Back to the first entry.
  void rewind() { platform::rewind_listing(*listing_); }

  void reset() { listing_.reset(); }

 private:
  static bool is_dot_or_dot_dot(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
  }
  struct Closer {
    void operator()(platform::FolderListing* listing) const { platform::close_listing(listing); }
  };

  std::unique_ptr<platform::FolderListing, Closer> listing_;
};

// The names in an open listing from its position on, in listing order; the error is the OS's.
Result<std::vector<std::string>> read_names(FolderStream& listing);

// The names in the folder at `path` (a final link followed), in listing order; as many as could
// be read, none when it cannot be opened.
std::vector<std::string> names_in(const std::string& path);

}  // namespace orvc
