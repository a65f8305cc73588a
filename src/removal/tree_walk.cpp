#include "removal/tree_walk.hpp"

#include <cerrno>

#include "platform/folder_stream.hpp"
#include "util/text.hpp"

namespace orvc::removal {

Result<std::vector<std::string>> list_names(int folder_fd) {
  // The listing owns a duplicate, so the caller's descriptor outlives it; the listing starts
  // from the beginning whatever the shared offset was.
  FolderStream listing = FolderStream::of_duplicate(folder_fd);
  if (!listing) return failure(os_error_text(errno));
  listing.rewind();
  return read_names(listing);
}

}  // namespace orvc::removal
