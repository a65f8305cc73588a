#include "removal/cleanup.hpp"

#include <oneapi/tbb/parallel_for.h>
#include <sys/stat.h>

#include <cerrno>
#include <optional>
#include <unordered_set>

#include "platform/home.hpp"
#include "platform/platform.hpp"
#include "removal/absolute_path.hpp"
#include "removal/cleanup_summary.hpp"
#include "removal/history.hpp"
#include "removal/history_recover.hpp"
#include "removal/move_workers.hpp"
#include "removal/path_names.hpp"
#include "removal/trash.hpp"
#include "removal/trash_tidy.hpp"
#include "safety/protection.hpp"
#include "safety/resolved_home.hpp"
#include "safety/user_protected.hpp"
#include "scan/tree_size.hpp"
#include "util/blocking_job.hpp"
#include "util/diagnostics.hpp"
#include "util/lexical_path.hpp"
#include "util/saturating.hpp"
#include "util/stop_request.hpp"
#include "util/text.hpp"
#include "util/work_progress.hpp"

namespace orvc::removal {
namespace {

std::string repeat_key(const std::string& absolute) {
  std::string key;
  for (const PathComponent& component : path_components(absolute)) {
    if (component.kind == ComponentKind::Root) continue;
    key += '/';
    key += component.bytes;
  }
  if (absolute.ends_with('/')) key += '/';
  return key;
}

// One requested path on its way through a run.
struct Item {
  enum class State : char { Missing, Repeated, Failed, Protected, Work, LeftAlone, Declined };
  std::string given;     // the caller's text, the outcome's key
  std::string absolute;  // joined to the working folder, nothing resolved
  State state = State::Missing;
  std::string problem;  // why it failed
  uint64_t size = 0;
  std::optional<TrashedItem> trashed;
  std::optional<safety::ProtectionReason> protection;

  // Found with a name, so it is planned and recorded as pending.
  bool planned() const { return state == State::Protected || state == State::Work; }
};

// Only ENOENT means missing: any other reason a path cannot be examined fails the item, so a
// run never reports "done" for something it could not see.
void examine(Item& item) {
  auto absolute = lexically_absolute(item.given);
  if (!absolute) {
    item.state = Item::State::Failed;
    item.problem = std::move(absolute.error());
    return;
  }
  item.absolute = std::move(*absolute);
  struct stat metadata {};
  if (lstat(item.absolute.c_str(), &metadata) != 0) {
    if (errno != ENOENT) {
      item.state = Item::State::Failed;
      item.problem = os_error_text(errno);
    }
    return;
  }
  if (!split_item_path(item.absolute)) {
    item.state = Item::State::Failed;
    item.problem = "target has no file name";
    return;
  }
  item.state = Item::State::Work;
  item.size = S_ISREG(metadata.st_mode) ? static_cast<uint64_t>(metadata.st_size)
                                        : measure_size(item.absolute);
}

}  // namespace

uint64_t measure_size(const std::string& path) {
  return scan::tree_size(path, scan::SizeKind::Apparent);
}

namespace {

bool gone(const std::string& path) {
  struct stat metadata {};
  return lstat(path.c_str(), &metadata) != 0 && errno == ENOENT;
}

std::optional<std::string> last_component_text(const std::string& path) {
  const auto split = split_item_path(path);
  if (!split) return std::nullopt;
  return lossy_utf8(split->name);
}

std::optional<CleanupSession> write_pending_record(const std::vector<Item>& items,
                                                   CleanupType cleanup_type) {
  const std::string category(stored_spelling(cleanup_type));
  std::vector<DeletedFile> files;
  for (const Item& item : items) {
    if (item.planned()) {
      files.push_back({item.absolute, item.size, category, last_component_text(item.absolute)});
    }
  }
  if (files.empty()) return std::nullopt;
  CleanupSession session = new_session(cleanup_type, std::move(files));
  session.status = stored_spelling(SessionStatus::Pending);
  if (auto written = write_session(session); !written) {
    report_diagnostic("[history] failed to write pending session: " + written.error());
    return std::nullopt;
  }
  return session;
}

// Records what really disappeared, under the path it was moved from and the name it got.
// Returns the id of the manifest that records it.
std::optional<std::string> finalise_record(std::optional<CleanupSession> pending,
                                           const std::vector<Item>& items,
                                           CleanupType cleanup_type) {
  const std::string category(stored_spelling(cleanup_type));
  std::vector<char> disappeared(items.size(), 0);
  tbb::parallel_for(size_t{0}, items.size(), [&](size_t i) {
    disappeared[i] = items[i].planned() && gone(items[i].absolute) ? 1 : 0;
  });
  std::vector<DeletedFile> removed;
  uint64_t total = 0;
  for (size_t i = 0; i < items.size(); ++i) {
    if (!disappeared[i]) continue;
    const Item& item = items[i];
    if (item.trashed) {
      std::optional<std::string> trash_path;
      if (!item.trashed->trash_path.empty()) trash_path = item.trashed->trash_path;
      const auto known = [](uint64_t inode) -> std::optional<uint64_t> {
        if (inode == 0) return std::nullopt;
        return inode;
      };
      removed.push_back({item.trashed->original_path, item.size, category, item.trashed->name,
                         std::move(trash_path), known(item.trashed->entry_inode),
                         known(item.trashed->record_inode)});
    } else {
      removed.push_back({item.absolute, item.size, category, last_component_text(item.absolute)});
    }
    total = saturating_add(total, item.size);
  }
  if (pending) {
    if (removed.empty()) {
      if (auto deleted = delete_session(pending->session_id); !deleted) {
        report_diagnostic("[history] failed to remove empty pending session: " + deleted.error());
      }
      return std::nullopt;
    }
    pending->deleted_files = std::move(removed);
    pending->total_bytes_freed = total;
    pending->status = stored_spelling(SessionStatus::Completed);
    // A failed rewrite leaves the pending manifest, which still names this run.
    if (auto written = write_session(*pending); !written) {
      report_diagnostic("[history] failed to finalize cleanup session: " + written.error());
    }
    return pending->session_id;
  }
  if (removed.empty()) return std::nullopt;
  auto written = write_session(new_session(cleanup_type, std::move(removed)));
  if (!written) {
    report_diagnostic("[history] failed to record cleanup session: " + written.error());
    return std::nullopt;
  }
  return *written;
}

// Protected items are set aside. The checks run in parallel (they are most of a move's cost).
void sort_out(std::vector<Item>& items) {
  tbb::parallel_for(size_t{0}, items.size(), [&](size_t i) {
    Item& item = items[i];
    if (item.state != Item::State::Work) return;
    if (auto reason = safety::is_protected_path(item.absolute)) {
      item.state = Item::State::Protected;
      item.protection = std::move(reason);
    }
  });
}

// Items whose move was never begun, because a stop was requested first, are left alone.
void move_work(std::vector<Item>& items, const ConfirmMove& confirm) {
  std::vector<size_t> work;
  for (size_t i = 0; i < items.size(); ++i) {
    if (items[i].state == Item::State::Work) work.push_back(i);
  }
  if (work.empty()) return;
  if (stop_requested()) {
    for (const size_t i : work) items[i].state = Item::State::LeftAlone;
    return;
  }
  // What a killed run left behind is tidied before this run adds to the Trash and the history.
  if (const auto home = home_env(); home && !home->empty()) {
    if (const auto trash = platform::user_trash(*home)) tidy_trash_leftovers(*trash);
  }
  finalise_stale_pending_sessions();
  begin_phase(WorkPhase::Moving, work.size());
  std::vector<char> declined(work.size(), 0);
  // Every path of the work list has just been found unprotected.
  auto results = run_moves(work.size(), [&](size_t k) -> Result<TrashedItem> {
    const Item& item = items[work[k]];
    std::optional<ItemIdentity> expected;
    if (confirm) {
      expected = confirm(work[k]);
      if (!expected) {
        declined[k] = 1;
        add_done(1, 0);
        return failure("declined");
      }
    }
    auto moved = trash_item(item.absolute, ProtectionCheck::DoneByCaller, expected);
    add_done(1, moved ? item.size : 0);
    return moved;
  });
  for (size_t k = 0; k < work.size(); ++k) {
    Item& item = items[work[k]];
    if (!results[k]) {
      item.state = Item::State::LeftAlone;
    } else if (declined[k]) {
      item.state = Item::State::Declined;
    } else if (*results[k]) {
      item.trashed = std::move(*results[k]).value();
    } else {
      item.state = Item::State::Failed;
      item.problem = std::move(*results[k]).error();
    }
  }
}

CleanupOutcome outcome_of(const std::vector<Item>& items) {
  std::map<std::string, std::string> trashed;
  std::vector<MoveFailureRecord> failures;
  size_t protected_count = 0;
  size_t left_alone = 0;
  bool attempted = false;
  for (const Item& item : items) {
    if (item.trashed) {
      trashed.insert_or_assign(item.given, item.trashed->name);
      attempted = true;
    } else if (item.state == Item::State::Declined) {
      attempted = true;
    } else if (item.state == Item::State::Failed) {
      failures.push_back({item.absolute.empty() ? item.given : item.absolute, item.problem});
    } else if (item.state == Item::State::Protected) {
      ++protected_count;
    } else if (item.state == Item::State::LeftAlone) {
      ++left_alone;
    }
  }
  if (left_alone > 0) return failure(summarise_interruption(trashed.size(), left_alone, failures));
  if (!failures.empty()) return failure(summarise_failures(failures));
  if (!attempted && protected_count > 0) {
    return failure(safety::all_protected_summary(protected_count));
  }
  return trashed;
}

ItemOutcome item_outcome(const Item& item) {
  if (item.trashed) return ItemOutcome::Moved;
  switch (item.state) {
    case Item::State::Repeated:
      return ItemOutcome::Repeated;
    case Item::State::Protected:
      return ItemOutcome::Protected;
    case Item::State::Failed:
      return ItemOutcome::Failed;
    case Item::State::LeftAlone:
      return ItemOutcome::NotStarted;
    case Item::State::Declined:
      return ItemOutcome::Declined;
    default:
      return ItemOutcome::Missing;
  }
}

std::vector<CleanupItem> report_items(std::vector<Item>& items) {
  std::vector<CleanupItem> report;
  report.reserve(items.size());
  for (Item& item : items) {
    report.push_back({std::move(item.given), item_outcome(item), item.size, std::move(item.trashed),
                      std::move(item.protection), std::move(item.problem)});
  }
  return report;
}

}  // namespace

CleanupOutcome run_cleanup(const CleanupRequest& request) {
  return run_cleanup_report(request).outcome;
}

CleanupReport run_cleanup_report(const CleanupRequest& request) {
  // A broken protected list could hide what the user asked to keep: nothing is moved at all.
  if (auto allowed = safety::user_protection_status(); !allowed) {
    return {failure(allowed.error()), {}, std::nullopt};
  }
  const safety::HomePin home_pin;
  std::vector<Item> items(request.paths.size());
  for (size_t i = 0; i < items.size(); ++i) items[i].given = request.paths[i];
  begin_phase(WorkPhase::Checking, items.size());
  // The metadata queries of a run are independent, so they run in parallel; order is kept.
  auto examined = run_blocking([&] {
    tbb::parallel_for(size_t{0}, items.size(), [&](size_t i) {
      examine(items[i]);
      add_done(1);
    });
    return true;
  });
  if (!examined) return {failure("Task join error: " + examined.error()), {}, std::nullopt};
  // The same item named twice is moved once, also when the names differ only in "." components
  // or repeated slashes. A trailing slash stays distinct: on a link it names the link's target.
  std::unordered_set<std::string> seen;
  for (Item& item : items) {
    if (item.planned() && !seen.insert(repeat_key(item.absolute)).second) {
      item.state = Item::State::Repeated;
    }
  }

  // Interrupted while looking: nothing has been touched, nothing is recorded.
  auto pending =
      stop_requested() ? std::nullopt : write_pending_record(items, request.cleanup_type);
  sort_out(items);
  move_work(items, request.confirm);
  CleanupOutcome outcome = outcome_of(items);
  auto session_id = finalise_record(std::move(pending), items, request.cleanup_type);
  return {std::move(outcome), report_items(items), std::move(session_id)};
}

}  // namespace orvc::removal
