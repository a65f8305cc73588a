#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
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
  return renameat2(from_dir, from_name, to_dir, to_name, RENAME_NOREPLACE) == 0 ? 0 : errno;
}

std::optional<std::string> folder_fd_path(int dir_fd) {
  if (dir_fd < 0) return std::nullopt;
  return "/proc/self/fd/" + std::to_string(dir_fd);
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
  TrashLocation trash;
  trash.root = join_path(data_home, "Trash");
  trash.files = join_path(trash.root, "files");
  trash.info = join_path(trash.root, "info");
  return trash;
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
