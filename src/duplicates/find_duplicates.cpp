#include "duplicates/find_duplicates.hpp"

#include <chrono>

#include "duplicates/hash_and_group.hpp"
#include "duplicates/scan_diagnostics.hpp"
#include "duplicates/size_grouping.hpp"
#include "safety/system_item.hpp"
#include "scan/collector.hpp"
#include "scan/skip_tables.hpp"

namespace orvc::duplicates {
namespace {

class Stopwatch {
 public:
  double seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  }

 private:
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

std::vector<DuplicateCandidate> crawl_candidates(const std::vector<std::string>& roots,
                                                 DevFolders dev_folders,
                                                 const std::atomic<bool>& cancel_flag) {
  std::vector<std::string> skip_names;
  if (dev_folders == DevFolders::Skip)
    skip_names.assign(scan::DEV_SKIP_DIRS.begin(), scan::DEV_SKIP_DIRS.end());
  auto files = scan::collect_files(roots, skip_names, scan::GitDetection::On, cancel_flag);

  std::vector<DuplicateCandidate> candidates;
  candidates.reserve(files.size());
  for (auto& file : files) {
    std::string name = file_name_of(file.path);
    if (safety::is_system_item(file.path, name)) continue;
    candidates.push_back({file.modified_secs, std::move(file.path), std::move(name), file.size,
                          file.git == scan::GitState::Tracked, file.identity});
  }
  return candidates;
}

}  // namespace

std::vector<DuplicateGroup> find_duplicates(const std::string& root, DevFolders dev_folders,
                                            const std::atomic<bool>& cancel_flag,
                                            const orvc::DiagnosticSink& diagnostics) {
  if (root.empty()) return {};
  const std::vector<std::string> roots = {root};
  const auto report = [&](const std::string& line) {
    if (diagnostics) diagnostics(line);
  };

  const Stopwatch total_timer;
  const Stopwatch crawl_timer;
  auto candidates = crawl_candidates(roots, dev_folders, cancel_flag);
  // A stopped crawl is incomplete; the hard-link check alone would take a call per file.
  if (cancel_flag.load()) return {};
  const size_t crawled = candidates.size();
  report(crawl_line(crawled, roots, dev_folders == DevFolders::Skip, crawl_timer.seconds()));

  const Stopwatch size_group_timer;
  auto size_groups = group_by_size(std::move(candidates));
  const size_t aliases = remove_hard_link_aliases(size_groups);
  const size_t remaining = count_members(size_groups);
  report(
      size_group_line(remaining, size_groups.size(), crawled, aliases, size_group_timer.seconds()));

  const Stopwatch hash_timer;
  auto groups = hash_and_group(size_groups, cancel_flag);
  report(hash_group_line(groups.size(), remaining, hash_timer.seconds(), total_timer.seconds()));

  sort_by_reclaimable(groups);
  return groups;
}

}  // namespace orvc::duplicates
