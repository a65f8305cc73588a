#include <dirent.h>
#include <fcntl.h>
#include <linux/fiemap.h>
#include <linux/fs.h>
#include <linux/magic.h>
#include <linux/openat2.h>
#include <sys/ioctl.h>
#include <sys/statfs.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <expected>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "platform/folder_stream.hpp"
#include "platform/platform.hpp"
#include "platform/posix.hpp"
#include "platform/spawn.hpp"
#include "util/text.hpp"
#include "util/unique_fd.hpp"

namespace orvc::platform {

timespec modified_time(const struct stat& metadata) {
  return metadata.st_mtim;
}

timespec accessed_time(const struct stat& metadata) {
  return metadata.st_atim;
}

timespec changed_time(const struct stat& metadata) {
  return metadata.st_ctim;
}

bool is_dataless(const struct stat&) {
  return false;
}

std::expected<void, int> rename_no_replace_at(int from_dir, const char* from_name, int to_dir,
                                              const char* to_name) {
  if (renameat2(from_dir, from_name, to_dir, to_name, RENAME_NOREPLACE) == 0) return {};
  if (errno != EINVAL) return std::unexpected(errno);
  // A file system without the flag. Checking first leaves a window, but a Trash name is
  // reserved by its exclusively created record before the move, so only a foreign program
  // ignoring records could slip in.
  struct stat metadata {};
  if (fstatat(to_dir, to_name, &metadata, AT_SYMLINK_NOFOLLOW) == 0) return std::unexpected(EEXIST);
  if (renameat(from_dir, from_name, to_dir, to_name) != 0) return std::unexpected(errno);
  return {};
}

int open_folder_without_links(const std::string& path) {
  struct open_how how {};
  how.flags = O_PATH | O_DIRECTORY | O_CLOEXEC;
  how.resolve = RESOLVE_NO_SYMLINKS;
  const long fd = syscall(SYS_openat2, AT_FDCWD, path.c_str(), &how, sizeof how);
  if (fd >= 0 || errno != ENOSYS) return static_cast<int>(fd);
  // Kernels before 5.6: the last component is held to not being a link, and the path must be
  // its own resolved form, so no component on the way was one either.
  UniqueFd folder(open(path.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (!folder) return -1;
  if (realpath_of(path) != path) {
    folder.reset();
    errno = ELOOP;
    return -1;
  }
  return folder.release();
}

std::optional<std::string> folder_fd_path(int dir_fd) {
  if (dir_fd < 0) return std::nullopt;
  return "/proc/self/fd/" + std::to_string(dir_fd);
}

std::optional<std::string> canonical_path(const std::string& path) {
  // realpath(3) reads every component as a possible link. One open that refuses to pass
  // through links answers for the usual path without any; a link sends it back to realpath.
  if (canonical_path_form(path)) {
    struct open_how how {};
    how.flags = O_PATH | O_CLOEXEC;
    how.resolve = RESOLVE_NO_SYMLINKS;
    const UniqueFd fd(
        static_cast<int>(syscall(SYS_openat2, AT_FDCWD, path.c_str(), &how, sizeof how)));
    if (fd) return path;
    if (errno == ENOENT || errno == ENOTDIR || errno == EACCES) return std::nullopt;
  }
  return realpath_of(path);
}

void advise_will_read(int fd, uint64_t offset, uint64_t length) {
  if (length == 0) return;
  constexpr uint64_t kLargest = static_cast<uint64_t>(INT64_MAX);
  posix_fadvise(fd, static_cast<off_t>(std::min(offset, kLargest)),
                static_cast<off_t>(std::min(length, kLargest)), POSIX_FADV_WILLNEED);
}

void advise_sequential(int fd) {
  posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
}

std::optional<std::vector<SizedEntry>> list_with_sizes(int) {
  // getdents carries no sizes; one fstatat per entry is the way here.
  return std::nullopt;
}

bool never_shares_blocks(const std::string& path) {
  struct statfs volume {};
  if (statfs(path.c_str(), &volume) != 0) return false;
  return volume.f_type == EXT4_SUPER_MAGIC || volume.f_type == TMPFS_MAGIC;
}

std::optional<uint64_t> private_bytes(int fd, uint64_t size) {
  constexpr uint32_t kExtentsPerCall = 64;
  // A fiemap header followed by its extents, in 8-byte words for alignment.
  constexpr size_t kWords =
      (sizeof(struct fiemap) + kExtentsPerCall * sizeof(struct fiemap_extent)) / sizeof(uint64_t);
  std::array<uint64_t, kWords> buffer{};
  auto* map = reinterpret_cast<struct fiemap*>(buffer.data());
  uint64_t shared = 0;
  for (uint64_t start = 0; start < size;) {
    buffer.fill(0);
    map->fm_start = start;
    map->fm_length = size - start;
    map->fm_extent_count = kExtentsPerCall;
    if (ioctl(fd, FS_IOC_FIEMAP, map) != 0) return std::nullopt;
    if (map->fm_mapped_extents == 0) break;
    const struct fiemap_extent* extents = map->fm_extents;
    for (uint32_t i = 0; i < map->fm_mapped_extents; ++i) {
      const auto& extent = extents[i];
      if ((extent.fe_flags & FIEMAP_EXTENT_SHARED) == 0 || extent.fe_logical >= size) continue;
      shared += std::min(extent.fe_length, size - extent.fe_logical);
    }
    const auto& last = extents[map->fm_mapped_extents - 1];
    const uint64_t next = last.fe_logical + last.fe_length;
    if ((last.fe_flags & FIEMAP_EXTENT_LAST) != 0 || next <= start) break;
    start = next;
  }
  return size - std::min(shared, size);
}

namespace {

// ioprio_get and ioprio_set with IOPRIO_WHO_PROCESS and a thread id act on that thread alone.
constexpr int kWhoProcess = 1;

int this_thread_id() {
  return static_cast<int>(syscall(SYS_gettid));
}

}  // namespace

LowThreadIoPriority::LowThreadIoPriority() {
  constexpr int kClassBestEffort = 2;
  constexpr int kClassShift = 13;
  constexpr int kLowestLevel = 7;
  previous_ = static_cast<int>(syscall(SYS_ioprio_get, kWhoProcess, this_thread_id()));
  syscall(SYS_ioprio_set, kWhoProcess, this_thread_id(),
          (kClassBestEffort << kClassShift) | kLowestLevel);
}

LowThreadIoPriority::~LowThreadIoPriority() {
  if (previous_ >= 0) syscall(SYS_ioprio_set, kWhoProcess, this_thread_id(), previous_);
}

Status full_flush(int fd) {
  if (fsync(fd) != 0) return failure(os_error_text(errno));
  return {};
}

std::optional<TrashLocation> user_trash(const std::string& home) {
  std::string data_home;
  const char* xdg = std::getenv("XDG_DATA_HOME");
  // The freedesktop rule: a relative XDG_DATA_HOME is invalid and is ignored.
  if (xdg && xdg[0] == '/') {
    data_home = xdg;
  } else {
    if (home.empty()) return std::nullopt;
    data_home = join_path(home, ".local/share");
  }
  return trash_location_at(join_path(data_home, "Trash"));
}

TrashLocation trash_location_at(const std::string& root) {
  TrashLocation trash;
  trash.root = root;
  trash.files = join_path(root, "files");
  trash.info = join_path(root, "info");
  return trash;
}

std::vector<VolumeTrashChoice> volume_trash_choices(const std::string& top_folder) {
  const std::string uid = std::to_string(getuid());
  const std::string shared = join_path(top_folder, ".Trash");
  return {{join_path(shared, uid), shared}, {join_path(top_folder, ".Trash-" + uid), {}}};
}

Status trash_service_delete(const std::string& absolute_path) {
  auto run = run_captured({"gio", "trash", absolute_path});
  if (!run) return failure("cannot run gio: " + run.error());
  if (run->exit_code != 0) {
    const std::string how =
        run->exit_code < 0 ? "ended by a signal" : "exit code " + std::to_string(run->exit_code);
    return failure(how +
                   ": gio trash exited with error. stderr: " + lossy_utf8(run->standard_error));
  }
  return {};
}

ssize_t copy_range(int from_fd, int to_fd, off_t offset, size_t length) {
  loff_t in = offset;
  loff_t out = offset;
  const ssize_t n = copy_file_range(from_fd, &in, to_fd, &out, length, 0);
  // Older kernels, other file systems on either side, or file systems without the call: the
  // same bytes go through a buffer instead.
  if (n < 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP)) {
    return copy_range_by_reading(from_fd, to_fd, offset, length);
  }
  return n;
}

namespace {

bool unsupported(int error) {
  return error == ENOTSUP || error == EOPNOTSUPP;
}

// Reads a list or a value whose size can change between asking and reading; the error is the
// errno of the failure.
template <typename Read>
std::expected<std::vector<char>, int> read_sized(const Read& read) {
  while (true) {
    const ssize_t size = read(nullptr, 0);
    if (size < 0) return std::unexpected(errno);
    std::vector<char> buffer(static_cast<size_t>(size));
    const ssize_t n = read(buffer.data(), buffer.size());
    if (n >= 0) {
      buffer.resize(static_cast<size_t>(n));
      return buffer;
    }
    if (errno != ERANGE) return std::unexpected(errno);
  }
}

}  // namespace

Status copy_extended_attributes(int from_fd, int to_fd) {
  const auto names =
      read_sized([&](char* buffer, size_t size) { return flistxattr(from_fd, buffer, size); });
  if (!names) {
    if (unsupported(names.error())) return {};  // the source keeps none
    return failure("cannot list extended attributes: " + os_error_text(names.error()));
  }
  for (size_t at = 0; at < names->size();) {
    const std::string name(names->data() + at);
    at += name.size() + 1;
    const auto value = read_sized(
        [&](char* buffer, size_t size) { return fgetxattr(from_fd, name.c_str(), buffer, size); });
    if (!value) {
      if (value.error() == ENODATA) continue;  // removed since it was listed
      return failure("cannot read extended attribute " + name + ": " +
                     os_error_text(value.error()));
    }
    if (fsetxattr(to_fd, name.c_str(), value->data(), value->size(), 0) == 0) continue;
    const int error = errno;
    if (unsupported(error)) continue;
    // Security labels and other system names are the destination's to decide; only the user's
    // own attributes must arrive.
    if ((error == EPERM || error == EACCES) && !name.starts_with("user.")) continue;
    return failure("cannot set extended attribute " + name + ": " + os_error_text(error));
  }
  return {};
}

bool has_unremovable_flag(int dir_fd, const char* name, const struct stat& metadata) {
  if (!S_ISREG(metadata.st_mode) && !S_ISDIR(metadata.st_mode)) return false;
  const UniqueFd fd(
      openat(dir_fd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  // An entry this user cannot open shows no flags; its removal is judged by its folder alone.
  if (!fd) return false;
  int flags = 0;
  const bool known = ioctl(fd.get(), FS_IOC_GETFLAGS, &flags) == 0;
  return known && (flags & (FS_IMMUTABLE_FL | FS_APPEND_FL)) != 0;
}

namespace {
constexpr std::array<std::string_view, 10> kExtraPrefixes = {
    "/boot", "/proc", "/sys", "/lib", "/lib32", "/lib64", "/libx32", "/run", "/snap", "/var/lib"};
constexpr std::array<std::string_view, 5> kExtraRoots = {"/home", "/root", "/mnt", "/media",
                                                         "/srv"};
}  // namespace

std::span<const std::string_view> extra_system_prefixes() {
  return kExtraPrefixes;
}
std::span<const std::string_view> extra_system_roots() {
  return kExtraRoots;
}

// getdents64 writes the kernel's linux_dirent64 records, which glibc's dirent mirrors field for
// field on Linux; readdir hands them out the same way.
static_assert(offsetof(dirent, d_ino) == 0 && sizeof(dirent::d_ino) == 8);
static_assert(offsetof(dirent, d_off) == 8 && sizeof(dirent::d_off) == 8);
static_assert(offsetof(dirent, d_reclen) == 16 && offsetof(dirent, d_type) == 18);
static_assert(offsetof(dirent, d_name) == 19);

struct FolderListing {
  UniqueFd fd;
  size_t filled = 0;
  size_t offset = 0;
  alignas(8) char buffer[8192];
};

FolderListing* open_listing(UniqueFd& folder) {
  auto* listing = new (std::nothrow) FolderListing;
  if (listing == nullptr) {
    errno = ENOMEM;
    return nullptr;
  }
  listing->fd = std::move(folder);
  return listing;
}

const dirent* next_entry(FolderListing& listing) {
  if (listing.offset >= listing.filled) {
    const ssize_t got = getdents64(listing.fd.get(), listing.buffer, sizeof listing.buffer);
    // A folder removed while open reads as ENOENT, which ends its listing like readdir does.
    if (got < 0 && errno == ENOENT) errno = 0;
    if (got <= 0) return nullptr;
    listing.filled = static_cast<size_t>(got);
    listing.offset = 0;
  }
  const auto* entry = reinterpret_cast<const dirent*>(listing.buffer + listing.offset);
  listing.offset += entry->d_reclen;
  return entry;
}

void rewind_listing(FolderListing& listing) {
  lseek(listing.fd.get(), 0, SEEK_SET);
  listing.filled = listing.offset = 0;
}

int listing_fd(const FolderListing& listing) {
  return listing.fd.get();
}

void close_listing(FolderListing* listing) {
  delete listing;
}

}  // namespace orvc::platform
