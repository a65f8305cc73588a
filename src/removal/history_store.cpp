#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "platform/home.hpp"
#include "platform/platform.hpp"
#include "removal/file_ops.hpp"
#include "removal/history.hpp"
#include "removal/history_json.hpp"
#include "removal/history_prune.hpp"
#include "removal/session_id.hpp"
#include "util/diagnostics.hpp"
#include "util/saturating.hpp"
#include "util/text.hpp"

namespace orvc::removal {
namespace {

constexpr const char* kHistoryRelative = "Library/Application Support/com.orvanta.app/history";

Status make_private_folder(const std::string& folder) {
  ORVC_TRY(create_folders(folder, 0777));
  while (chmod(folder.c_str(), 0700) != 0) {
    if (errno != EINTR) {
      return failure("cannot make '" + lossy_utf8(folder) + "' private: " + os_error_text(errno));
    }
  }
  return {};
}

Status write_temp_manifest(const std::string& temp_path, std::string_view bytes) {
  const int fd = open(temp_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return failure(os_error_text(errno));
  Status written = fchmod(fd, 0600) == 0 ? Status{} : failure(os_error_text(errno));
  if (written) written = write_all(fd, bytes);
  if (written) written = platform::full_flush(fd);
  if (close(fd) != 0 && written && errno != EINTR) written = failure(os_error_text(errno));
  return written;
}

}  // namespace

Result<std::string> history_folder_path() {
  // An empty or relative HOME counts as unset: the folder never lands under the working folder.
  const auto home = home_env();
  if (!home) return failure("HOME not set");
  return join_path(*home, kHistoryRelative);
}

Result<std::string> history_dir() {
  const std::string folder = ORVC_TRY(history_folder_path());
  ORVC_TRY(make_private_folder(folder));
  return folder;
}

CleanupSession new_session(CleanupType cleanup_type, std::vector<DeletedFile> files) {
  const auto now = std::chrono::system_clock::now();
  CleanupSession session;
  session.session_id = new_uuid_v4();
  session.timestamp = rfc3339_utc(now);
  session.unix_timestamp = std::chrono::floor<std::chrono::seconds>(now.time_since_epoch()).count();
  session.cleanup_type = stored_spelling(cleanup_type);
  for (const auto& file : files) {
    session.total_bytes_freed = saturating_add(session.total_bytes_freed, file.size);
  }
  session.deleted_files = std::move(files);
  session.status = stored_spelling(SessionStatus::Completed);
  return session;
}

Result<std::string> write_session(const CleanupSession& session) {
  const std::string folder = ORVC_TRY(history_dir());
  const std::string final_path = join_path(folder, session.session_id + ".json");
  const std::string temp_path = join_path(folder, session.session_id + ".tmp");
  const std::string text = ORVC_TRY(session_to_json(session));

  struct stat metadata {};
  if (stat(folder.c_str(), &metadata) != 0) {
    if (auto made = make_private_folder(folder); !made) {
      return failure("Failed to write temp manifest: " + made.error());
    }
  }
  if (auto written = write_temp_manifest(temp_path, text); !written) {
    return failure("Failed to write temp manifest '" + lossy_utf8(temp_path) +
                   "': " + written.error());
  }
  if (rename(temp_path.c_str(), final_path.c_str()) != 0) {
    return failure("Failed to finalize manifest '" + lossy_utf8(final_path) +
                   "': " + os_error_text(errno));
  }
  flush_folder(folder);

  if (auto pruned = prune_history(WrittenManifest{final_path, session.unix_timestamp}); !pruned) {
    report_diagnostic("History auto-prune failed (continuing): " + pruned.error());
  }
  return session.session_id;
}

Status delete_session(const std::string& session_id) {
  const auto uuid = canonical_uuid(session_id);
  if (!uuid) return failure("Invalid session id: " + session_id);
  const std::string folder = ORVC_TRY(history_dir());
  const std::string path = join_path(folder, *uuid + ".json");
  if (unlink(path.c_str()) != 0) {
    return failure("Failed to delete session '" + lossy_utf8(path) + "': " + os_error_text(errno));
  }
  return {};
}

}  // namespace orvc::removal
