#pragma once
// The cross-volume half of a Trash move: copy the item, then remove what was copied from the
// source. No function here follows a symbolic link: a link is copied and removed as itself.
#include <sys/stat.h>

#include <string>
#include <vector>

#include "util/expected.hpp"

namespace orvc::removal {

// One source entry as it was when copied.
struct CopiedEntry {
  std::string name;
  struct stat metadata {};
  std::vector<CopiedEntry> children;  // a folder's copied entries
};

// Copies `source` to `destination`, which must not exist (its parents are created). Regular
// files keep their content and permissions and are flushed to disk; folders keep their
// permissions. The first error ends the copy; what was copied so far stays. Devices, sockets
// and pipes are not copied (an error). Returns what was copied.
Result<CopiedEntry> copy_tree(const std::string& source, const std::string& destination);

// Removes from `path` what `copied` lists and what has not changed since: a file or link whose
// metadata is as it was, a folder once it is empty. Anything written, replaced or added after
// the copy stays in place, and the result is then an error.
Status remove_copied(const std::string& path, const CopiedEntry& copied);

// Removes a file, a link or a whole folder. Entries are opened relative to their folder without
// following links, so nothing outside `path` is ever touched.
Status remove_tree(const std::string& path);

}  // namespace orvc::removal
