#include <copyfile.h>
#include <dirent.h>
#include <fcntl.h>
#include <sys/attr.h>
#include <sys/param.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <optional>
#include <string>

#include "platform/folder_stream.hpp"
#include "platform/platform.hpp"
#include "platform/posix.hpp"
#include "platform/spawn.hpp"
#include "util/text.hpp"

namespace orvc::platform {
namespace {

// Object types as ATTR_CMN_OBJTYPE reports them: the values of enum vtype (VNON, VREG, VDIR),
// which <sys/vnode.h> defines; they are part of the system's ABI.
constexpr fsobj_type_t kNoType = 0;
constexpr fsobj_type_t kRegularType = 1;
constexpr fsobj_type_t kFolderType = 2;

}  // namespace

timespec modified_time(const struct stat& metadata) {
  return metadata.st_mtimespec;
}

timespec accessed_time(const struct stat& metadata) {
  return metadata.st_atimespec;
}

timespec changed_time(const struct stat& metadata) {
  return metadata.st_ctimespec;
}

bool is_dataless(const struct stat& metadata) {
  return (metadata.st_flags & SF_DATALESS) != 0;
}

std::expected<void, int> rename_no_replace_at(int from_dir, const char* from_name, int to_dir,
                                              const char* to_name) {
  if (renameatx_np(from_dir, from_name, to_dir, to_name, RENAME_EXCL) != 0) {
    return std::unexpected(errno);
  }
  return {};
}

int open_folder_without_links(const std::string& path) {
#ifdef O_SEARCH
  constexpr int kSearchOnly = O_SEARCH;
#else
  constexpr int kSearchOnly = O_RDONLY;  // systems before macOS 13: the folder must be readable
#endif
  return open(path.c_str(), kSearchOnly | O_DIRECTORY | O_NOFOLLOW_ANY | O_CLOEXEC);
}

std::optional<std::string> folder_fd_path(int dir_fd) {
  char path[MAXPATHLEN] = {};
  if (fcntl(dir_fd, F_GETPATH, path) != 0) return std::nullopt;
  return std::string(path);
}

std::optional<std::string> canonical_path(const std::string& path) {
  return realpath_of(path);
}

void advise_will_read(int fd, uint64_t offset, uint64_t length) {
  // F_RDADVISE takes an int count: longer ranges are announced in int-sized pieces.
  constexpr uint64_t kPiece = 1u << 30;
  constexpr uint64_t kLargest = static_cast<uint64_t>(INT64_MAX);
  while (length > 0 && offset < kLargest) {
    const uint64_t count = std::min(length, kPiece);
    struct radvisory advice {};
    advice.ra_offset = static_cast<off_t>(offset);
    advice.ra_count = static_cast<int>(count);
    if (fcntl(fd, F_RDADVISE, &advice) != 0) return;
    offset += count;
    length -= count;
  }
}

void advise_sequential(int fd) {
  fcntl(fd, F_RDAHEAD, 1);
}

namespace {

// Reads one packed attribute (4-byte aligned at best) and steps past it.
template <typename T>
T take(const char*& cursor) {
  T value;
  std::memcpy(&value, cursor, sizeof value);
  cursor += sizeof value;
  return value;
}

}  // namespace

std::optional<std::vector<SizedEntry>> list_with_sizes(int folder_fd) {
  struct attrlist request {};
  request.bitmapcount = ATTR_BIT_MAP_COUNT;
  request.commonattr = ATTR_CMN_RETURNED_ATTRS | ATTR_CMN_ERROR | ATTR_CMN_NAME | ATTR_CMN_OBJTYPE |
                       ATTR_CMN_FLAGS | ATTR_CMN_FILEID;
  // ALLOCSIZE counts every fork, as st_blocks does; DATALENGTH is the data fork, as st_size.
  request.fileattr = ATTR_FILE_ALLOCSIZE | ATTR_FILE_DATALENGTH;
  constexpr size_t kBufferBytes = 256 * 1024;
  std::vector<char> buffer(kBufferBytes);
  std::vector<SizedEntry> out;
  for (;;) {
    const int count = getattrlistbulk(folder_fd, &request, buffer.data(), buffer.size(), 0);
    if (count == 0) return out;
    if (count < 0) {
      lseek(folder_fd, 0, SEEK_SET);
      return std::nullopt;
    }
    const char* entry = buffer.data();
    for (int i = 0; i < count; ++i) {
      // Layout: length, returned set, then the returned attributes in the order of the
      // request's bits (the error code first), the name's bytes where its reference points.
      const char* cursor = entry;
      const auto length = take<uint32_t>(cursor);
      const auto returned = take<attribute_set_t>(cursor);
      uint32_t error = 0;
      if (returned.commonattr & ATTR_CMN_ERROR) error = take<uint32_t>(cursor);
      std::string name;
      if (returned.commonattr & ATTR_CMN_NAME) {
        const char* reference_at = cursor;
        const auto reference = take<attrreference_t>(cursor);
        const char* text = reference_at + reference.attr_dataoffset;
        name.assign(text, strnlen(text, reference.attr_length));
      }
      fsobj_type_t type = kNoType;
      if (returned.commonattr & ATTR_CMN_OBJTYPE) type = take<fsobj_type_t>(cursor);
      uint32_t flags = 0;
      if (returned.commonattr & ATTR_CMN_FLAGS) flags = take<uint32_t>(cursor);
      uint64_t inode = 0;
      if (returned.commonattr & ATTR_CMN_FILEID) inode = take<uint64_t>(cursor);
      std::optional<off_t> allocated;
      if (returned.fileattr & ATTR_FILE_ALLOCSIZE) allocated = take<off_t>(cursor);
      std::optional<off_t> size;
      if (returned.fileattr & ATTR_FILE_DATALENGTH) size = take<off_t>(cursor);
      entry += length;

      if (error != 0 || name.empty() || name == "." || name == "..") continue;
      SizedEntry sized;
      sized.name = std::move(name);
      sized.inode = inode;
      if (type == kFolderType) {
        sized.kind = SizedEntry::Kind::Folder;
      } else if (type == kRegularType &&
                 (!allocated || !size || (returned.commonattr & ATTR_CMN_FLAGS) == 0)) {
        sized.kind = SizedEntry::Kind::UnsizedFile;
      } else if (type == kRegularType) {
        sized.kind = SizedEntry::Kind::File;
        sized.size = static_cast<uint64_t>(std::max<off_t>(*size, 0));
        sized.dataless = (flags & SF_DATALESS) != 0;
        if (!sized.dataless) {
          sized.allocated = static_cast<uint64_t>(std::max<off_t>(*allocated, 0));
        }
      }
      out.push_back(std::move(sized));
    }
  }
}

bool never_shares_blocks(const std::string&) {
  return false;  // APFS clones; other volumes are asked file by file
}

std::optional<uint64_t> private_bytes(int fd, uint64_t size) {
  // Extended common attributes travel in the fork bitmap under FSOPT_ATTR_CMN_EXTENDED.
  constexpr attrgroup_t kPrivateSize = 0x00000008;  // ATTR_CMNEXT_PRIVATESIZE, macOS 10.15 on
  struct attrlist request {};
  request.bitmapcount = ATTR_BIT_MAP_COUNT;
  request.commonattr = ATTR_CMN_RETURNED_ATTRS;
  request.forkattr = kPrivateSize;
  std::array<char, sizeof(uint32_t) + sizeof(attribute_set_t) + sizeof(off_t)> reply{};
  if (fgetattrlist(fd, &request, reply.data(), reply.size(), FSOPT_ATTR_CMN_EXTENDED) != 0) {
    return std::nullopt;
  }
  const char* cursor = reply.data();
  take<uint32_t>(cursor);
  const auto returned = take<attribute_set_t>(cursor);
  if ((returned.forkattr & kPrivateSize) == 0) return std::nullopt;
  const auto own = take<off_t>(cursor);
  struct stat metadata {};
  if (own < 0 || fstat(fd, &metadata) != 0) return std::nullopt;
  // The private size counts allocated blocks: all of them private means nothing is shared, even
  // where compression or holes make the allocation smaller than the length.
  const auto allocated = static_cast<uint64_t>(metadata.st_blocks) * 512;
  if (static_cast<uint64_t>(own) >= allocated) return size;
  return std::min(static_cast<uint64_t>(own), size);
}

LowThreadIoPriority::LowThreadIoPriority() {
  previous_ = getiopolicy_np(IOPOL_TYPE_DISK, IOPOL_SCOPE_THREAD);
  setiopolicy_np(IOPOL_TYPE_DISK, IOPOL_SCOPE_THREAD, IOPOL_UTILITY);
}

LowThreadIoPriority::~LowThreadIoPriority() {
  if (previous_ >= 0) setiopolicy_np(IOPOL_TYPE_DISK, IOPOL_SCOPE_THREAD, previous_);
}

Status full_flush(int fd) {
  if (fcntl(fd, F_FULLFSYNC) == 0) return {};
  // Some file systems refuse F_FULLFSYNC; a plain fsync is the best they offer.
  if (fsync(fd) != 0) return failure(os_error_text(errno));
  return {};
}

std::optional<TrashLocation> user_trash(const std::string& home) {
  if (home.empty()) return std::nullopt;
  return trash_location_at(join_path(home, ".Trash"));
}

TrashLocation trash_location_at(const std::string& root) {
  TrashLocation trash;
  trash.root = root;
  trash.files = root;
  return trash;
}

std::vector<VolumeTrashChoice> volume_trash_choices(const std::string& top_folder) {
  const std::string shared = join_path(top_folder, ".Trashes");
  return {{join_path(shared, std::to_string(getuid())), shared}};
}

Status trash_service_delete(const std::string& absolute_path) {
  // Invalid UTF-8 bytes become %XX, then quotes and backslashes are escaped for AppleScript.
  std::string rendered;
  for (size_t i = 0; i < absolute_path.size();) {
    size_t valid = 1;
    while (i + valid <= absolute_path.size() && !is_valid_utf8(absolute_path.substr(i, valid)) &&
           valid < 4) {
      ++valid;
    }
    const std::string_view piece(absolute_path.data() + i,
                                 std::min(valid, absolute_path.size() - i));
    if (is_valid_utf8(piece)) {
      for (char c : piece) {
        if (c == '\\' || c == '"') rendered.push_back('\\');
        rendered.push_back(c);
      }
      i += piece.size();
    } else {
      static constexpr char kHex[] = "0123456789ABCDEF";
      const auto byte = static_cast<unsigned char>(absolute_path[i]);
      rendered += '%';
      rendered += kHex[byte >> 4];
      rendered += kHex[byte & 15];
      ++i;
    }
  }
  const std::string script =
      "tell application \"Finder\" to delete { POSIX file \"" + rendered + "\" }";
  auto run = run_captured({"osascript", "-e", script});
  if (!run) return failure("cannot run osascript: " + run.error());
  if (run->exit_code != 0) {
    const std::string how =
        run->exit_code < 0 ? "ended by a signal" : "exit code " + std::to_string(run->exit_code);
    return failure(
        how + ": The AppleScript exited with error. stderr: " + lossy_utf8(run->standard_error));
  }
  return {};
}

ssize_t copy_range(int from_fd, int to_fd, off_t offset, size_t length) {
  // macOS has no in-kernel range copy between open files; a clone needs whole files.
  return copy_range_by_reading(from_fd, to_fd, offset, length);
}

Status copy_extended_attributes(int from_fd, int to_fd) {
  if (fcopyfile(from_fd, to_fd, nullptr, COPYFILE_XATTR) == 0) return {};
  const int error = errno;
  if (error == ENOTSUP) return {};  // one side keeps no extended attributes
  return failure("cannot copy extended attributes: " + os_error_text(error));
}

bool has_unremovable_flag(int, const char*, const struct stat& metadata) {
  constexpr unsigned kUnremovable = UF_IMMUTABLE | SF_IMMUTABLE | UF_APPEND | SF_APPEND;
  return (metadata.st_flags & kUnremovable) != 0;
}

std::span<const std::string_view> extra_system_prefixes() {
  return {};
}
std::span<const std::string_view> extra_system_roots() {
  return {};
}

struct FolderListing {
  DIR* dir;
};

FolderListing* open_listing(UniqueFd& folder) {
  auto* listing = new (std::nothrow) FolderListing{nullptr};
  if (listing == nullptr) {
    errno = ENOMEM;
    return nullptr;
  }
  listing->dir = fdopendir(folder.get());
  if (listing->dir == nullptr) {
    delete listing;
    return nullptr;
  }
  folder.release();
  return listing;
}

const dirent* next_entry(FolderListing& listing) {
  return readdir(listing.dir);
}

void rewind_listing(FolderListing& listing) {
  rewinddir(listing.dir);
}

int listing_fd(const FolderListing& listing) {
  return dirfd(listing.dir);
}

void close_listing(FolderListing* listing) {
  closedir(listing->dir);
  delete listing;
}

}  // namespace orvc::platform
