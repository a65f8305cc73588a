#pragma once
// The cross-volume half of a Trash move: copy the item, then remove the source.
// Neither function follows a symbolic link: a link is copied and removed as the link itself.
#include <string>

#include "util/expected.hpp"

namespace orvc::removal {

// Copies `source` to `destination`, which must not exist (its parents are created). Regular
// files keep their content and permissions and are flushed to disk; folders keep their
// permissions. The first error ends the copy; what was copied so far stays. Devices, sockets
// and pipes are not copied (an error).
Status copy_tree(const std::string& source, const std::string& destination);

// Removes a file, a link or a whole folder. Entries are opened relative to their folder without
// following links, so nothing outside `path` is ever touched.
Status remove_tree(const std::string& path);

}  // namespace orvc::removal
