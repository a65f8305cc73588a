#include "removal/restore.hpp"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <algorithm>
#include <map>
#include <set>

#include "removal/history.hpp"
#include "removal/history_read.hpp"
#include "removal/path_names.hpp"
#include "removal/trash_lookup.hpp"
#include "safety/resolved_home.hpp"
#include "util/lexical_path.hpp"
#include "util/stop_request.hpp"
#include "util/text.hpp"
#include "util/work_progress.hpp"

namespace orvc::removal {
namespace {

std::string quoted(std::string_view path) {
  return "'" + lossy_utf8(path) + "'";
}

// What a target turned out to name.
struct Target {
  const CleanupSession* run = nullptr;  // a run, or else
  std::string path;                     // an absolute, normalised original path
};

class Restorer {
 public:
  Restorer(const RestoreRequest& request, std::vector<platform::TrashLocation> trashes)
      : trashes_(std::move(trashes)), mover_(request.mode) {
    if (request.into) into_ = absolute_normalised(*request.into);
  }

  void restore_run(const CleanupSession& run, const std::vector<RecordedItem>& located,
                   RestoreReport& report) {
    for (size_t i = 0; i < located.size(); ++i) {
      const RecordedItem& item = located[i];
      if (item.state == ItemState::Gone) {
        ++report.already_out;
        continue;
      }
      if (taken_.contains(key_of(item))) continue;  // asked for twice
      if (stop_requested()) {
        ++report.left_alone;
        continue;
      }
      report.items.push_back(restore_one(item, run.deleted_files[i]));
    }
  }

  // The most recently trashed item of `path` still in the Trash: from the history first, then
  // from the Trash records of other programs.
  void restore_path(const std::string& path, const std::vector<CleanupSession>& sessions,
                    const std::vector<std::vector<RecordedItem>>& located, RestoreReport& report) {
    if (stop_requested()) {
      ++report.left_alone;
      return;
    }
    const RecordedItem* replaced = nullptr;
    const DeletedFile* replaced_file = nullptr;
    for (size_t s = 0; s < sessions.size(); ++s) {
      for (size_t i = 0; i < located[s].size(); ++i) {
        const RecordedItem& item = located[s][i];
        const DeletedFile& file = sessions[s].deleted_files[i];
        const bool same = item.original.empty() ? absolute_normalised(file.original_path) == path
                                                : item.original == path;
        if (!same || taken_.contains(key_of(item))) continue;
        if (item.state == ItemState::InTrash) {
          report.items.push_back(restore_one(item, file));
          return;
        }
        if (item.state == ItemState::Replaced && !replaced) {
          replaced = &item;
          replaced_file = &file;
        }
      }
    }
    if (replaced) {
      report.items.push_back(restore_one(*replaced, *replaced_file));
      return;
    }
    if (!records_) records_ = index_trash_records(trashes_);
    if (const auto found = records_->find(path); found != records_->end()) {
      for (const RecordedItem& item : found->second) {
        if (!taken_.contains(key_of(item))) {
          report.items.push_back(restore_one(item, std::nullopt));
          return;
        }
      }
    }
    report.items.push_back(
        {path, {RestoreVerdict::Failed, quoted(path) + ": not found in the Trash"}});
  }

 private:
  static std::string key_of(const RecordedItem& item) {
    return join_path(item.files_dir, item.name);
  }

  RestoredItem restore_one(const RecordedItem& item, const std::optional<DeletedFile>& file) {
    add_done(1);
    taken_.insert(key_of(item));
    const std::string recorded = file ? file->original_path : item.original;
    std::string destination = item.original;
    if (into_ && !item.original.empty()) {
      destination = join_path(*into_, last_component(item.original).value_or(item.name));
    }
    if (item.state == ItemState::Replaced) {
      const std::string shown = destination.empty() ? recorded : destination;
      return {shown,
              {RestoreVerdict::Replaced, quoted(shown) + ": the Trash entry " + quoted(item.name) +
                                             " is no longer the item removed (" +
                                             item.replaced_because + "); left alone"}};
    }
    if (destination.empty()) {
      return {recorded,
              {RestoreVerdict::Failed, quoted(recorded) + ": its original folder is not known"}};
    }
    return {destination, mover_.restore(item, destination)};
  }

  std::vector<platform::TrashLocation> trashes_;
  RestoreMover mover_;
  std::optional<std::string> into_;
  std::optional<RecordIndex> records_;
  std::set<std::string> taken_;  // Trash entries already handled in this run
};

}  // namespace

bool looks_like_run_id(const std::string& target) {
  if (target.empty()) return false;
  return std::all_of(target.begin(), target.end(), [](char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || c == '-';
  });
}

std::vector<const CleanupSession*> sessions_with_prefix(const std::vector<CleanupSession>& sessions,
                                                        const std::string& prefix) {
  const std::string lower = ascii_lower(prefix);
  std::vector<const CleanupSession*> found;
  for (const auto& session : sessions) {
    if (session.session_id.starts_with(lower)) found.push_back(&session);
  }
  return found;
}

Result<RestoreReport> run_restore(const RestoreRequest& request) {
  const safety::HomePin home_pin;
  const LoadedHistory history = ORVC_TRY(load_history());
  const std::vector<CleanupSession>& sessions = history.sessions;

  std::vector<Target> targets;
  bool any_path = false;
  for (const std::string& text : request.targets) {
    if (looks_like_run_id(text)) {
      const auto runs = sessions_with_prefix(sessions, text);
      if (runs.size() > 1) {
        std::vector<std::string> ids;
        for (const auto* run : runs) ids.push_back(run->session_id.substr(0, 8));
        return failure(fmt::format("Run id '{}' is ambiguous: it matches {} runs ({})",
                                   lossy_utf8(text), runs.size(), fmt::join(ids, ", ")));
      }
      if (runs.size() == 1) {
        targets.push_back({runs.front(), {}});
        continue;
      }
    }
    targets.push_back({nullptr, absolute_normalised(text)});
    any_path = true;
  }

  std::vector<std::string> paths;
  for (const Target& target : targets) {
    if (!target.run) paths.push_back(target.path);
  }
  const auto trashes = trash_search_list(paths);
  // Paths are looked for in every run; runs alone need only their own items located.
  std::vector<std::vector<RecordedItem>> located(sessions.size());
  if (any_path) {
    located = locate_sessions(sessions, trashes);
  } else {
    for (const Target& target : targets) {
      const size_t index = static_cast<size_t>(target.run - sessions.data());
      if (located[index].empty()) {
        located[index] = locate_sessions(std::span(target.run, 1), trashes).front();
      }
    }
  }

  size_t planned = 0;
  for (const Target& target : targets) {
    if (!target.run) {
      ++planned;
      continue;
    }
    for (const RecordedItem& item : located[static_cast<size_t>(target.run - sessions.data())]) {
      planned += item.state == ItemState::Gone ? 0 : 1;
    }
  }
  begin_phase(WorkPhase::Restoring, planned);

  RestoreReport report;
  Restorer restorer(request, trashes);
  for (const Target& target : targets) {
    if (target.run) {
      const size_t index = static_cast<size_t>(target.run - sessions.data());
      restorer.restore_run(*target.run, located[index], report);
    } else {
      restorer.restore_path(target.path, sessions, located, report);
    }
  }
  return report;
}

}  // namespace orvc::removal
