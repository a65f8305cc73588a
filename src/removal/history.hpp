#pragma once
// The cleanup history: one JSON manifest per cleanup run in a private folder under HOME.
// Manifests are written whole (temporary file, flush, rename) and pruned to seven days and 50
// files (history_prune.hpp); history_read.hpp reads them back.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "removal/cleanup_kind.hpp"
#include "util/expected.hpp"

namespace orvc::removal {

struct DeletedFile {
  std::string original_path;
  uint64_t size = 0;
  std::string category;
  std::optional<std::string> trashed_name;
  // The item's absolute path inside the Trash it went to; absent in older manifests.
  std::optional<std::string> trash_path = std::nullopt;
  // Inode numbers of the Trash entry and its record when the move made them; absent in older
  // manifests.
  std::optional<uint64_t> trash_inode = std::nullopt;
  std::optional<uint64_t> record_inode = std::nullopt;

  bool operator==(const DeletedFile&) const = default;
};

struct CleanupSession {
  std::string session_id;  // lower-case hyphenated UUID v4; also the manifest's file name
  std::string timestamp;   // RFC 3339, UTC, "+00:00"
  int64_t unix_timestamp = 0;
  // Type and status as stored (cleanup_kind.hpp): a manifest from another version may spell
  // one this program does not know, and keeps it when rewritten.
  std::string cleanup_type;
  std::vector<DeletedFile> deleted_files;
  uint64_t total_bytes_freed = 0;
  std::string status;

  bool operator==(const CleanupSession&) const = default;
};

// HOME/Library/Application Support/com.orvanta.app/history, created with mode 0700.
// Fails with "HOME not set" when HOME is unset, empty or relative; then nothing is created.
Result<std::string> history_dir();

// The same folder's path, without creating anything.
Result<std::string> history_folder_path();

// Fresh id and the current time; status Completed; total = saturating sum of the sizes.
CleanupSession new_session(CleanupType cleanup_type, std::vector<DeletedFile> files);

// Writes or replaces "<session_id>.json", then prunes. Returns the session id.
Result<std::string> write_session(const CleanupSession& session);

Status delete_session(const std::string& session_id);

}  // namespace orvc::removal
