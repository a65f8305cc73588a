#include "removal/history_recover.hpp"

#include <ctime>

#include "removal/history.hpp"
#include "removal/history_read.hpp"
#include "removal/trash_lookup.hpp"
#include "util/diagnostics.hpp"
#include "util/saturating.hpp"

namespace orvc::removal {
namespace {

constexpr int64_t kStaleSeconds = 60 * 60;

}  // namespace

void finalise_stale_pending_sessions() {
  auto loaded = load_history();
  if (!loaded) return;  // nothing readable to finalise; the run's own record reports problems
  const int64_t now = std::time(nullptr);
  std::vector<platform::TrashLocation> trashes;
  for (CleanupSession& session : loaded->sessions) {
    if (session_status_named(session.status) != SessionStatus::Pending ||
        now - session.unix_timestamp < kStaleSeconds) {
      continue;
    }
    if (trashes.empty()) trashes = trash_search_list();
    // A run killed amid its moves: what is in the Trash under its recorded name was moved.
    std::vector<DeletedFile> moved;
    uint64_t total = 0;
    for (DeletedFile& file : session.deleted_files) {
      if (locate_recorded(file, trashes).state != ItemState::InTrash) continue;
      total = saturating_add(total, file.size);
      moved.push_back(std::move(file));
    }
    if (moved.empty()) {
      if (auto deleted = delete_session(session.session_id); !deleted) {
        report_diagnostic("[history] failed to remove an interrupted session: " + deleted.error());
      }
      continue;
    }
    session.deleted_files = std::move(moved);
    session.total_bytes_freed = total;
    session.status = stored_spelling(SessionStatus::Completed);
    if (auto written = write_session(session); !written) {
      report_diagnostic("[history] failed to finalize an interrupted session: " + written.error());
    }
  }
}

}  // namespace orvc::removal
