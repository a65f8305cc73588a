#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/platform.hpp"
#include "platform/posix.hpp"
#include "platform/spawn.hpp"
#include "util/text.hpp"

namespace orvc::platform {

timespec modified_time(const struct stat& metadata) {
  return metadata.st_mtim;
}

timespec changed_time(const struct stat& metadata) {
  return metadata.st_ctim;
}

bool is_dataless(const struct stat&) {
  return false;
}

int rename_no_replace_at(int from_dir, const char* from_name, int to_dir, const char* to_name) {
  if (renameat2(from_dir, from_name, to_dir, to_name, RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL) return errno;
  // A file system without the flag. Checking first leaves a window, but a Trash name is
  // reserved by its exclusively created record before the move, so only a foreign program
  // ignoring records could slip in.
  struct stat metadata {};
  if (fstatat(to_dir, to_name, &metadata, AT_SYMLINK_NOFOLLOW) == 0) return EEXIST;
  return renameat(from_dir, from_name, to_dir, to_name) == 0 ? 0 : errno;
}

int open_folder_without_links(const std::string& path) {
  struct open_how how {};
  how.flags = O_PATH | O_DIRECTORY | O_CLOEXEC;
  how.resolve = RESOLVE_NO_SYMLINKS;
  const long fd = syscall(SYS_openat2, AT_FDCWD, path.c_str(), &how, sizeof how);
  if (fd >= 0 || errno != ENOSYS) return static_cast<int>(fd);
  // Kernels before 5.6: only the last component can be held to not being a link.
  return open(path.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

namespace {

// Absolute, and without empty, "." or ".." components: realpath(3) would give this very text
// back if no component were a symbolic link.
bool written_canonically(std::string_view path) {
  if (path.empty() || path.front() != '/') return false;
  if (path == "/") return true;
  if (path.back() == '/') return false;
  for (const std::string_view bad : {"//", "/./", "/../"}) {
    if (path.find(bad) != std::string_view::npos) return false;
  }
  return !path.ends_with("/.") && !path.ends_with("/..");
}

}  // namespace

std::optional<std::string> canonical_path(const std::string& path) {
  // realpath(3) reads every component as a possible link. One open that refuses to pass
  // through links answers for the usual path without any; a link sends it back to realpath.
  if (written_canonically(path)) {
    struct open_how how {};
    how.flags = O_PATH | O_CLOEXEC;
    how.resolve = RESOLVE_NO_SYMLINKS;
    const long fd = syscall(SYS_openat2, AT_FDCWD, path.c_str(), &how, sizeof how);
    if (fd >= 0) {
      close(static_cast<int>(fd));
      return path;
    }
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

bool list_with_sizes(int, std::vector<SizedEntry>&) {
  // getdents carries no sizes; one fstatat per entry is the way here.
  return false;
}

void lower_thread_io_priority() {
  // ioprio_set(IOPRIO_WHO_PROCESS, this thread, best-effort class, lowest level).
  constexpr int kWhoProcess = 1;
  constexpr int kClassBestEffort = 2;
  constexpr int kClassShift = 13;
  constexpr int kLowestLevel = 7;
  syscall(SYS_ioprio_set, kWhoProcess, static_cast<int>(syscall(SYS_gettid)),
          (kClassBestEffort << kClassShift) | kLowestLevel);
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

}  // namespace orvc::platform
