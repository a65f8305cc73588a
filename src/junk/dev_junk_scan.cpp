#include "junk/dev_junk_scan.hpp"

#include <oneapi/tbb/parallel_for.h>
#include <oneapi/tbb/parallel_invoke.h>

#include <algorithm>
#include <iterator>
#include <span>

#include "junk/candidates.hpp"
#include "junk/catalogue.hpp"
#include "junk/disk_usage.hpp"
#include "junk/docker.hpp"
#include "junk/last_activity.hpp"
#include "junk/paths.hpp"
#include "junk/project_roots.hpp"
#include "junk/project_walks.hpp"
#include "platform/folder_stream.hpp"
#include "platform/home.hpp"
#include "scan/cache_sample.hpp"
#include "util/saturating.hpp"
#include "util/work_progress.hpp"

namespace orvc::junk {
namespace {

using Items = std::vector<JunkItem>;

// Enough metadata calls to tell a cold cache, few enough to cost little when it is.
constexpr size_t kCacheSampleEntries = 256;

Safety safety_of(bool safe) {
  return safe ? Safety::Safe : Safety::NeedsReview;
}

void probe(const std::string& location, std::string description, Safety safety, Items& items) {
  if (auto item = make_junk_item(location, std::move(description), safety)) {
    items.push_back(std::move(*item));
  }
}

void probe_rows(const std::string& home, std::span<const JunkSourceRow> rows, Items& items) {
  for (const JunkSourceRow& row : rows) {
    probe(child_path(home, row.relative_path), std::string(row.description), safety_of(row.safe),
          items);
  }
}

// Evaluates every candidate on the shared pool and appends the items in candidate order.
template <typename Candidate, typename Evaluate>
void append_evaluated(const std::vector<Candidate>& candidates, const Evaluate& evaluate,
                      Items& items) {
  std::vector<std::optional<JunkItem>> results(candidates.size());
  tbb::parallel_for(size_t{0}, candidates.size(),
                    [&](size_t i) { results[i] = evaluate(candidates[i]); });
  for (auto& result : results) {
    if (result) items.push_back(std::move(*result));
  }
}

// Full paths of a folder's entries in listing order; nothing when it cannot be listed.
std::vector<std::string> list_entries(const std::string& folder) {
  std::vector<std::string> paths = names_in(folder);
  for (std::string& path : paths) path = child_path(folder, path);
  return paths;
}

// Virtual disks first: their descriptions say whether Docker runs.
struct DockerItems {
  Items virtual_disks;
  Items others;
  bool running = false;  // asked only when there is a virtual disk
};

DockerItems docker_items(const std::string& home) {
  DockerItems found;
  const std::string description(kDockerDiskDescription);
  for (const std::string& vm : list_entries(child_path(home, kDockerVmsFolder))) {
    for (std::string_view disk : kDockerDiskNames) {
      probe(child_path(vm, disk), description, Safety::NeedsReview, found.virtual_disks);
    }
  }
  probe_rows(home, kDockerRows, found.others);
  return found;
}

Items with_running_note(DockerItems found) {
  Items items = std::move(found.virtual_disks);
  if (found.running) {
    for (JunkItem& disk : items) disk.description += kDockerRunningNote;
  }
  std::ranges::move(found.others, std::back_inserter(items));
  return items;
}

Items node_items(const std::string& home, const std::vector<std::string>& project_roots) {
  Items items;
  const bool has_cacache = exists(child_path(home, kNpmCacache));
  for (const JunkSourceRow& row : kNodeCacheRows) {
    if (row.relative_path == kNpmFolder && has_cacache) continue;
    probe(child_path(home, row.relative_path), std::string(row.description), safety_of(row.safe),
          items);
  }
  std::vector<std::string> candidates;
  for (const std::string& root : project_roots) {
    find_node_modules(root, kNodeModulesWalkDepth, candidates);
  }
  sort_unique_by_path(candidates);
  append_evaluated(candidates, evaluate_node_modules, items);
  return items;
}

Items xcode_items(const std::string& home) {
  Items items;
  for (const XcodeEntrySource& source : kXcodeEntrySources) {
    std::vector<std::string> entries = list_entries(child_path(home, source.relative_folder));
    if (source.folders_only) std::erase_if(entries, [](const auto& e) { return !is_folder(e); });
    append_evaluated(
        entries,
        [&](const std::string& entry) {
          return make_junk_item(entry, std::string(source.description), safety_of(source.safe));
        },
        items);
  }
  probe_rows(home, kXcodeRows, items);
  return items;
}

Items python_items(const std::string& home) {
  Items items;
  probe_rows(home, kPythonRows, items);
  std::vector<std::string> candidates;
  find_pycache_dirs(home, kPycacheWalkDepth, candidates);
  append_evaluated(candidates, evaluate_pycache, items);
  return items;
}

Items build_artifact_items(const std::vector<std::string>& project_roots) {
  Items items;
  std::vector<BuildArtifactCandidate> candidates;
  for (const std::string& root : project_roots) {
    find_build_artifacts(root, kBuildWalkDepth, candidates);
  }
  sort_unique_by_path(candidates);
  append_evaluated(candidates, evaluate_build_artifact, items);
  return items;
}

JunkCategory make_category(CategoryId id, Items items) {
  std::ranges::stable_sort(items, std::ranges::greater{}, &JunkItem::size_bytes);
  uint64_t total = 0;
  for (const JunkItem& item : items) total = saturating_add(total, item.size_bytes);
  const CategoryInfo& info = category_info(id);
  return JunkCategory{.name = std::string(info.name),
                      .description = std::string(info.description),
                      .items = std::move(items),
                      .total_bytes = total};
}

}  // namespace

Result<std::vector<JunkCategory>> scan_dev_junk(LastActivity last_activity) {
  const std::optional<std::string> home_value = home_env();
  if (!home_value) return failure("HOME environment variable is not set");
  const std::string& home = *home_value;
  begin_phase(WorkPhase::Measuring);

  // The categories only read and share nothing, so their walks overlap the others' measuring.
  DockerItems docker;
  Items node, xcode, python, build_artifacts;
  // Each category notes its items' activity as soon as it has them, beside the others' walks.
  const auto noted = [&](Items items) {
    if (last_activity == LastActivity::Note) note_last_activity(items, home);
    return items;
  };
  // On a cold cache the walks wait on the device: in the wide I/O arena all five categories
  // walk at once and every measure keeps many reads in flight. A short sample of the home
  // folder's metadata tells which cache this is.
  const auto fill = [&] {
    tbb::parallel_invoke(
        [&] {
          docker = docker_items(home);
          // Only a virtual disk's description needs the answer; pgrep mostly waits, beside the
          // other categories' walks.
          if (!docker.virtual_disks.empty()) docker.running = is_docker_running();
          docker.virtual_disks = noted(std::move(docker.virtual_disks));
          docker.others = noted(std::move(docker.others));
        },
        [&] { xcode = noted(xcode_items(home)); }, [&] { python = noted(python_items(home)); },
        [&] {
          const std::vector<std::string> roots = find_project_roots(home);
          tbb::parallel_invoke([&] { node = noted(node_items(home, roots)); },
                               [&] { build_artifacts = noted(build_artifact_items(roots)); });
        });
  };
  if (cache_looks_cold(home, kCacheSampleEntries)) {
    run_in_io_arena(fill);
  } else {
    fill();
  }
  std::vector<JunkCategory> categories;
  categories.push_back(make_category(CategoryId::Docker, with_running_note(std::move(docker))));
  categories.push_back(make_category(CategoryId::NodeJs, std::move(node)));
  categories.push_back(make_category(CategoryId::Xcode, std::move(xcode)));
  categories.push_back(make_category(CategoryId::Python, std::move(python)));
  categories.push_back(make_category(CategoryId::BuildArtifacts, std::move(build_artifacts)));

  std::erase_if(categories, [](const JunkCategory& c) { return c.items.empty(); });
  std::ranges::stable_sort(categories, std::ranges::greater{}, &JunkCategory::total_bytes);
  return categories;
}

}  // namespace orvc::junk
