#include "removal/cleanup.hpp"

#include <oneapi/tbb/parallel_for.h>
#include <sys/stat.h>

#include <optional>

#include "platform/home.hpp"
#include "platform/platform.hpp"
#include "removal/cleanup_summary.hpp"
#include "removal/diagnostics.hpp"
#include "removal/history.hpp"
#include "removal/move_workers.hpp"
#include "removal/path_names.hpp"
#include "removal/saturating.hpp"
#include "removal/trash.hpp"
#include "safety/protection.hpp"
#include "safety/resolved_home.hpp"
#include "util/blocking_job.hpp"
#include "util/text.hpp"

namespace orvc::removal {
namespace {

struct PlannedItem {
  std::string path;
  uint64_t size = 0;
};

bool readable(const std::string& path) {
  struct stat metadata {};
  return stat(path.c_str(), &metadata) == 0;
}

std::optional<std::string> last_component_text(const std::string& path) {
  const auto name = last_normal_component(path);
  if (!name) return std::nullopt;
  return lossy_utf8(*name);
}

// The metadata queries of a run are independent, so they run in parallel; order is kept.
std::vector<PlannedItem> plan(const std::vector<std::string>& paths) {
  std::vector<std::optional<PlannedItem>> measured(paths.size());
  tbb::parallel_for(size_t{0}, paths.size(), [&](size_t i) {
    const std::string& path = paths[i];
    struct stat metadata {};
    if (lstat(path.c_str(), &metadata) != 0) return;
    if (S_ISREG(metadata.st_mode)) {
      measured[i] = PlannedItem{path, static_cast<uint64_t>(metadata.st_size)};
    } else if (!S_ISLNK(metadata.st_mode) || readable(path)) {
      measured[i] = PlannedItem{path, measure_size(path)};
    }
  });
  std::vector<PlannedItem> planned;
  for (auto& item : measured) {
    if (item) planned.push_back(std::move(*item));
  }
  return planned;
}

std::vector<char> gone_flags(const std::vector<PlannedItem>& planned) {
  std::vector<char> gone(planned.size(), 0);
  tbb::parallel_for(size_t{0}, planned.size(),
                    [&](size_t i) { gone[i] = readable(planned[i].path) ? 0 : 1; });
  return gone;
}

std::optional<CleanupSession> write_pending_record(const std::vector<PlannedItem>& planned,
                                                   const std::string& cleanup_type) {
  if (planned.empty()) return std::nullopt;
  std::vector<DeletedFile> files;
  for (const auto& item : planned) {
    files.push_back({item.path, item.size, cleanup_type, last_component_text(item.path)});
  }
  CleanupSession session = new_session(cleanup_type, std::move(files));
  session.status = "pending";
  if (auto written = write_session(session); !written) {
    write_diagnostic_line("[history] failed to write pending session: " + written.error());
    return std::nullopt;
  }
  return session;
}

void finalise_record(std::optional<CleanupSession> pending, const std::vector<PlannedItem>& planned,
                     const std::string& cleanup_type, const CleanupOutcome& outcome) {
  std::vector<DeletedFile> removed;
  uint64_t total = 0;
  const std::vector<char> gone = gone_flags(planned);
  const auto home = home_env();
  const auto trash = platform::user_trash(home.value_or(""));
  for (size_t i = 0; i < planned.size(); ++i) {
    const PlannedItem& item = planned[i];
    if (!gone[i]) continue;
    std::optional<std::string> name = last_component_text(item.path);
    std::optional<std::string> trash_path;
    if (outcome) {
      if (const auto found = outcome->find(item.path); found != outcome->end()) {
        name = found->second;
        if (trash) trash_path = join_path(trash->files, found->second);
      }
    }
    removed.push_back({item.path, item.size, cleanup_type, std::move(name), std::move(trash_path)});
    total = saturating_add(total, item.size);
  }
  if (pending) {
    if (removed.empty()) {
      if (auto deleted = delete_session(pending->session_id); !deleted) {
        write_diagnostic_line("[history] failed to remove empty pending session: " +
                              deleted.error());
      }
      return;
    }
    pending->deleted_files = std::move(removed);
    pending->total_bytes_freed = total;
    pending->status = "completed";
    if (auto written = write_session(*pending); !written) {
      write_diagnostic_line("[history] failed to finalize cleanup session: " + written.error());
    }
  } else if (!removed.empty()) {
    if (auto written = write_session(new_session(cleanup_type, std::move(removed))); !written) {
      write_diagnostic_line("[history] failed to record cleanup session: " + written.error());
    }
  }
}

struct SortedPaths {
  std::vector<std::string> work;
  size_t protected_count = 0;
};

// Missing paths drop out, protected ones are counted. The checks run in parallel (they are
// most of a move's cost); the work list keeps the request's order.
SortedPaths sort_out(const std::vector<std::string>& paths) {
  enum Verdict : char { kMissing, kProtected, kWork };
  std::vector<Verdict> verdicts(paths.size(), kMissing);
  tbb::parallel_for(size_t{0}, paths.size(), [&](size_t i) {
    if (!readable(paths[i])) return;
    verdicts[i] = safety::is_protected_path(paths[i]) ? kProtected : kWork;
  });
  SortedPaths sorted;
  for (size_t i = 0; i < paths.size(); ++i) {
    if (verdicts[i] == kWork) sorted.work.push_back(paths[i]);
    if (verdicts[i] == kProtected) ++sorted.protected_count;
  }
  return sorted;
}

CleanupOutcome move_work_list(const std::vector<std::string>& work) {
  // Every path of the work list has just been found unprotected.
  const auto results = run_moves(work, [](const std::string& path) {
    return trash_item(path, ProtectionCheck::DoneByCaller);
  });
  std::map<std::string, std::string> trashed;
  std::vector<MoveFailureRecord> failures;
  for (size_t i = 0; i < work.size(); ++i) {
    if (results[i]) {
      trashed.insert_or_assign(work[i], *results[i]);
    } else {
      failures.push_back({work[i], results[i].error()});
    }
  }
  if (!failures.empty()) return failure(summarise_failures(failures));
  return trashed;
}

}  // namespace

CleanupOutcome run_cleanup(const CleanupRequest& request) {
  const safety::HomePin home_pin;
  auto measured = run_blocking([&] { return plan(request.paths); });
  if (!measured) return failure("Task join error: " + measured.error());
  const std::vector<PlannedItem> planned = std::move(*measured);

  auto pending = write_pending_record(planned, request.cleanup_type);

  const auto sorted = sort_out(request.paths);
  const std::vector<std::string>& work = sorted.work;
  const size_t protected_count = sorted.protected_count;

  CleanupOutcome outcome;
  if (work.empty()) {
    outcome = protected_count > 0
                  ? CleanupOutcome(failure(safety::all_protected_summary(protected_count)))
                  : CleanupOutcome(std::map<std::string, std::string>{});
  } else {
    outcome = move_work_list(work);
  }
  finalise_record(std::move(pending), planned, request.cleanup_type, outcome);
  return outcome;
}

}  // namespace orvc::removal
