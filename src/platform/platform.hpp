#pragma once
// Everything that differs between macOS and Linux, behind one small interface.
// platform_macos.cpp and platform_linux.cpp implement it; CMake picks one.
#include <sys/stat.h>

#include <cstdint>
#include <ctime>
#include <expected>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "util/expected.hpp"

namespace orvc::platform {

// Online processor count; nothing when the system cannot tell.
std::optional<unsigned> online_processors();

// Home folder of the current user id in the password database; nothing when unknown or empty.
std::optional<std::string> password_database_home();

// A file's last modification, status change and access, as the metadata records them.
timespec modified_time(const struct stat& metadata);
timespec accessed_time(const struct stat& metadata);
timespec changed_time(const struct stat& metadata);

// True when a file's content is not on the local disk (macOS SF_DATALESS; never on Linux).
bool is_dataless(const struct stat& metadata);

// The absolute form of an existing path with every symbolic link resolved, as realpath(3) gives
// it; nothing when that fails.
std::optional<std::string> canonical_path(const std::string& path);

// Whether a path is written as realpath(3) would give it back if none of its components were a
// link: absolute, without empty, "." or ".." components, no trailing slash.
bool canonical_path_form(std::string_view path);

// Renames from_name in from_dir to to_name in to_dir, failing with EEXIST rather than replacing
// anything already there (renameat2 RENAME_NOREPLACE on Linux, renameatx_np RENAME_EXCL on
// macOS). Neither name is followed when it is a symbolic link. The error is the errno, not a
// text: callers branch on EEXIST (name taken) and EXDEV (another file system).
std::expected<void, int> rename_no_replace_at(int from_dir, const char* from_name, int to_dir,
                                              const char* to_name);

// Opens a folder as a handle for the *at calls, refusing to pass through any symbolic link on
// the way (openat2 RESOLVE_NO_SYMLINKS on Linux, O_NOFOLLOW_ANY on macOS): the handle is the
// folder that the link-free path names. The descriptor, or -1 with errno set.
int open_folder_without_links(const std::string& path);

// A path that names the folder open as `dir_fd` itself, whatever its path has become since
// (/proc/self/fd/N on Linux, F_GETPATH on macOS); nothing when there is none.
std::optional<std::string> folder_fd_path(int dir_fd);

// Tells the system that `length` bytes of an open file from `offset` on are about to be read, so
// that it starts reading them now and several reads are in flight at once (posix_fadvise
// POSIX_FADV_WILLNEED on Linux, fcntl F_RDADVISE on macOS). Best effort, failures ignored.
void advise_will_read(int fd, uint64_t offset, uint64_t length);

// Tells the system that an open file is about to be read from start to end, so that it reads
// ahead in large steps (POSIX_FADV_SEQUENTIAL on Linux, F_RDAHEAD on macOS). Best effort.
void advise_sequential(int fd);

// One entry of a folder listing that came with its size.
struct SizedEntry {
  // UnsizedFile: a regular file whose sizes the listing did not carry; ask its metadata.
  enum class Kind { Folder, File, UnsizedFile, Other };
  std::string name;
  Kind kind = Kind::Other;
  uint64_t size = 0;       // a File's logical bytes (st_size); 0 for anything else
  uint64_t allocated = 0;  // a File's allocated bytes (st_blocks × 512); 0 when dataless
  bool dataless = false;   // a File whose content is not on the local disk
  uint64_t inode = 0;
};

// Lists an open folder together with the sizes of every regular file in it, many entries per
// call, where the system offers that (getattrlistbulk on macOS): every entry but "." and "..".
// Nothing when the system has no such call (Linux) or the folder cannot be read this way; the
// folder's read position is then back at its start, and the caller lists it and asks each
// entry's metadata itself. Links are never followed (they are Other).
std::optional<std::vector<SizedEntry>> list_with_sizes(int folder_fd);

// How many of the first `size` bytes of an open regular file are its own rather than shared
// with another file through a copy-on-write clone: Linux counts the extents FIEMAP does not mark
// FIEMAP_EXTENT_SHARED (holes count as the file's own), macOS asks ATTR_CMNEXT_PRIVATESIZE.
// Nothing when the system cannot tell; every byte then counts as the file's own.
std::optional<uint64_t> private_bytes(int fd, uint64_t size);

// True when the file system holding `path` cannot clone files (ext2/3/4, tmpfs), so every byte
// of its files is their own and private_bytes need not be asked file by file.
bool never_shares_blocks(const std::string& path);

// Lowers the calling thread's disk-I/O priority for as long as it lives and then puts back the
// one the thread had, so that a pool thread does not keep it for later work. Best effort:
// failures are ignored. Made and ended on the same thread.
class LowThreadIoPriority {
 public:
  LowThreadIoPriority();
  ~LowThreadIoPriority();
  LowThreadIoPriority(const LowThreadIoPriority&) = delete;
  LowThreadIoPriority& operator=(const LowThreadIoPriority&) = delete;

 private:
  int previous_ = -1;  // -1 when unknown: nothing is put back
};

// Flushes a file to stable storage (F_FULLFSYNC on macOS, fsync on Linux).
Status full_flush(int fd);

// Copies the first `size` bytes of `from_fd` into `to_fd` (a new, empty file) at the same
// offsets, skipping the holes of a sparse source so the copy stays sparse; the copy ends up
// exactly `size` bytes long. A source that shrinks meanwhile leaves zeros at the end. The error
// is the OS's text.
Status copy_file_data(int from_fd, int to_fd, off_t size);

// Copies the extended attributes of one open file or folder to another. An attribute either
// file system does not support, or a system label the destination will not take, is skipped;
// any other failure names the attribute.
Status copy_extended_attributes(int from_fd, int to_fd);

// Whether the entry `name` in `dir_fd` (with its no-follow metadata) carries a flag that forbids
// removing it or, for a folder, removing its entries: immutable or append-only. False when the
// flags cannot be seen (macOS reads st_flags; Linux asks regular files and folders through
// FS_IOC_GETFLAGS and cannot see them on other entries).
bool has_unremovable_flag(int dir_fd, const char* name, const struct stat& metadata);

// Where the user's Trash is. On macOS `files` is HOME/.Trash and there is no info folder; on
// Linux it is the freedesktop trash, $XDG_DATA_HOME/Trash (default HOME/.local/share/Trash),
// with `files` and `info` sub-folders and a .trashinfo record per item.
struct TrashLocation {
  std::string root;                 // folder that holds the Trash (never entered by crawls)
  std::string files;                // where trashed items go
  std::optional<std::string> info;  // where .trashinfo records go, when the platform keeps them
};
std::optional<TrashLocation> user_trash(const std::string& home);

// Where the items of another volume than the home folder's go, best first: the Trash of that
// volume, at `root` below the volume's top folder. When `shared_parent` is set it must already
// be a real folder (not a link) with the sticky bit, and `root` is the user's own folder in it;
// otherwise `root` is made, private to the user, when missing. Linux: $topdir/.Trash/$uid, then
// $topdir/.Trash-$uid, with .trashinfo paths relative to $topdir; macOS: $topdir/.Trashes/$uid.
struct VolumeTrashChoice {
  std::string root;
  std::optional<std::string> shared_parent;
};
std::vector<VolumeTrashChoice> volume_trash_choices(const std::string& top_folder);

// The folders of a Trash whose root is `root` (see TrashLocation).
TrashLocation trash_location_at(const std::string& root);

// Asks the desktop's Trash service to trash one path (Finder through osascript, or `gio trash`).
// Success, or the service's own failure text.
Status trash_service_delete(const std::string& absolute_path);

// System places beyond the macOS tables whose removal breaks this operating system.
std::span<const std::string_view> extra_system_prefixes();
std::span<const std::string_view> extra_system_roots();

}  // namespace orvc::platform
