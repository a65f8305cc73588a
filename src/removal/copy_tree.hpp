#pragma once
// The cross-volume half of a Trash move: check that the item can go, copy it, then remove what
// was copied from the source. No function here follows a symbolic link: a link is copied and
// removed as itself. The `_at` forms act relative to open folder handles, so they reach paths
// of any length; `shown` is the item's path as messages name it (the bare name when empty).
#include <sys/stat.h>

#include <string>
#include <string_view>
#include <vector>

#include "util/expected.hpp"

namespace orvc::removal {

// One source entry as it was when copied.
struct CopiedEntry {
  std::string name;
  struct stat metadata {};
  std::vector<CopiedEntry> children;  // a folder's copied entries
};
using CopiedTree = CopiedEntry;

// Fails, before anything is copied, when the item `name` in `parent_fd` could be copied but not
// removed afterwards, or not copied faithfully:
//   "'<shown>' cannot be removed after copying: '<folder>' is not writable" (not writable and
//     searchable by this user: the item's parent or a folder inside it),
//   "... : '<entry>' is immutable or append-only", "... : '<entry>' belongs to another user in
//     a folder with the sticky bit", "... : '<folder>' is the mount point of another file
//     system", "... : it lies on a read-only file system",
//   "cannot copy '<entry>': not a regular file, folder or symbolic link" (devices, sockets and
//     pipes), "cannot read '<folder>': <OS error>".
// Root passes the permission tests; the flags and the read-only mount stop it too.
Status check_removable_tree_at(int parent_fd, const std::string& name, std::string_view shown);

// Copies the item `src_name` in `src_dir` to `dst_name` in `dst_dir`, which must not exist.
// Regular files keep their content (holes stay holes), extended attributes (where both file
// systems keep them), permission bits, access and modification times, and the owner where this
// user may set it (else set-user-ID and set-group-ID bits are dropped); they are flushed to
// disk. Folders keep the same, set once their entries are in. Files with several names inside
// the item stay one file with several names in the copy, unless the destination refuses a hard
// link, in which case each name gets its own copy. Devices, sockets and pipes are not copied (an
// error). The first error ends the copy; what was copied so far stays. Returns what was copied.
Result<CopiedTree> copy_tree_at(int src_dir, const std::string& src_name, int dst_dir,
                                const std::string& dst_name, std::string_view shown = {});

// check_removable_tree_at, then copy_tree_at; the destination's missing parent folders are created.
Result<CopiedTree> copy_tree(const std::string& source, const std::string& destination);

// Removes from the item `src_name` in `src_dir` what `copied` lists and what has not changed
// since: a file or link of the same type, size, modification time, device and inode (a change
// of its link count or status time alone is not a change), a folder once it is empty. Anything
// written, replaced or added after the copy stays in place, and the result is then the error
// "'<shown>' changed while it was copied; what changed was left in place".
Status remove_copied_at(int src_dir, const std::string& src_name, const CopiedTree& copied,
                        std::string_view shown = {});
Status remove_copied(const std::string& path, const CopiedTree& copied);

// Removes a file, a link or a whole folder (meant for this program's own partial copies).
// Entries are opened relative to their folder without following links, so nothing outside
// `path` is ever touched. A folder this user owns but may not change (a copied read-only
// folder) is given owner write and search permission first.
Status remove_tree_at(int dir_fd, const std::string& name, std::string_view shown = {});
Status remove_tree(const std::string& path);

}  // namespace orvc::removal
