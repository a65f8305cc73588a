#include "scan/collector.hpp"

#include <oneapi/tbb/parallel_for_each.h>
#include <sys/stat.h>

#include <exception>
#include <string>

#include "gitignore/gitignore.hpp"
#include "platform/home.hpp"
#include "platform/platform.hpp"
#include "scan/cache_sample.hpp"
#include "scan/collector_walk.hpp"
#include "scan/walk_pool.hpp"
#include "util/diagnostics.hpp"
#include "util/work_progress.hpp"

namespace orvc::scan {
namespace {

using detail::FolderJob;
using detail::FolderRecords;
using detail::GitContext;

// On Linux the Trash lies inside the home folder's data folder; already-trashed files are
// never reported as large files or duplicates.
std::optional<FileIdentity> trash_folder_identity() {
  const auto trash = platform::user_trash(home_folder().value_or(""));
  struct stat metadata {};
  if (!trash || stat(trash->root.c_str(), &metadata) != 0 || !S_ISDIR(metadata.st_mode)) {
    return std::nullopt;
  }
  return identity_of(metadata);
}

GitContext load_context(const std::string& start) {
  auto context = gitignore::load_gitignore_context(start);
  if (!context) return nullptr;
  return std::make_shared<const gitignore::GitIgnoreContext>(std::move(*context));
}

struct RootRecords {
  std::optional<CollectedFile> file;  // when the root itself is a regular file
  FolderRecords tree;
};

}  // namespace

std::vector<CollectedFile> collect_files(const std::vector<std::string>& roots,
                                         const std::vector<std::string>& skip_names,
                                         GitDetection git_detection,
                                         const std::atomic<bool>& cancel_flag,
                                         const FileFilter& keep) {
  const bool detect_git = git_detection == GitDetection::On;
  // A cold cache keeps many metadata reads in flight in the I/O arena; a warm one stays on the
  // walk pool, where more threads would only cost.
  tbb::task_arena& pool = roots.empty() ? walk_pool() : arena_for_walk(roots.front(), walk_pool());
  begin_phase(WorkPhase::Collecting);
  try {
    const detail::WalkSettings settings{detail::CaseFoldedNames(skip_names), detect_git,
                                        &cancel_flag, &keep, trash_folder_identity()};
    std::vector<RootRecords> per_root(roots.size());
    std::vector<FolderJob> jobs;
    for (size_t i = 0; i < roots.size(); ++i) {
      struct stat metadata {};
      if (cancel_flag.load() || lstat(roots[i].c_str(), &metadata) != 0) continue;
      const GitContext git = detect_git ? load_context(roots[i]) : nullptr;
      if (S_ISREG(metadata.st_mode)) {
        if (detail::is_reported_file(metadata, settings)) {
          per_root[i].file = detail::make_record(metadata, roots[i], git);
        }
      } else if (S_ISDIR(metadata.st_mode)) {
        jobs.push_back(FolderJob{roots[i],
                                 nullptr,
                                 {},
                                 identity_of(metadata),
                                 metadata.st_dev,
                                 git,
                                 true,
                                 &per_root[i].tree});
      }
    }

    pool.execute([&] {
      tbb::parallel_for_each(
          jobs.begin(), jobs.end(), [&](const FolderJob& job, tbb::feeder<FolderJob>& feeder) {
            detail::walk_folder(job, settings,
                                [&feeder](FolderJob next) { feeder.add(std::move(next)); });
          });
    });

    std::vector<CollectedFile> out;
    for (auto& root : per_root) {
      if (root.file) out.push_back(std::move(*root.file));
      detail::append_in_order(root.tree, out);
    }
    return out;
  } catch (const std::exception& e) {
    // A walk that ends abnormally yields nothing rather than a partial list, and says so.
    report_diagnostic(std::string("File walk failed, nothing collected: ") + e.what());
    return {};
  }
}

}  // namespace orvc::scan
