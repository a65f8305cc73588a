#include "removal/trash_tidy.hpp"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <ctime>
#include <string>
#include <vector>

#include "platform/folder_stream.hpp"
#include "removal/copy_tree.hpp"
#include "removal/trash_move.hpp"
#include "util/text.hpp"

namespace orvc::removal {
namespace {

constexpr time_t kRecordGraceSeconds = 60 * 60;
constexpr std::string_view kRecordSuffix = ".trashinfo";

// ".orvc-partial-<pid>-<n>" of a process that no longer runs.
bool abandoned_partial_copy(std::string_view name) {
  if (!name.starts_with(kPartialCopyPrefix)) return false;
  name.remove_prefix(kPartialCopyPrefix.size());
  pid_t pid = 0;
  const auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), pid);
  if (error != std::errc() || pid <= 0) return false;
  return kill(pid, 0) != 0 && errno == ESRCH;
}

}  // namespace

void tidy_trash_leftovers(const platform::TrashLocation& trash) {
  // Best effort: a leftover that stays has no record, so Trash tools never show it, and the
  // next run tries again.
  for (const std::string& name : names_in(trash.files)) {
    if (abandoned_partial_copy(name)) (void)remove_tree(join_path(trash.files, name));
  }
  if (!trash.info) return;
  const time_t now = std::time(nullptr);
  for (const std::string& record : names_in(*trash.info)) {
    if (!record.ends_with(kRecordSuffix)) continue;
    const std::string path = join_path(*trash.info, record);
    struct stat metadata {};
    if (lstat(path.c_str(), &metadata) != 0 || !S_ISREG(metadata.st_mode)) continue;
    if (now - metadata.st_mtime < kRecordGraceSeconds) continue;
    const std::string item =
        join_path(trash.files, record.substr(0, record.size() - kRecordSuffix.size()));
    if (lstat(item.c_str(), &metadata) != 0 && errno == ENOENT) unlink(path.c_str());
  }
}

}  // namespace orvc::removal
