#include <fmt/format.h>

#include <algorithm>

#include "cli/console.hpp"
#include "cli/flows.hpp"
#include "cli/progress_line.hpp"
#include "cli/stop_signals.hpp"
#include "scan/disk_sweep.hpp"
#include "util/blocking_job.hpp"
#include "util/stop_request.hpp"

namespace orvc::cli {
namespace {

constexpr size_t kEntriesShown = 25;

void print_entries(const scan::DiskNode& root) {
  if (!root.children) return;
  std::vector<const scan::DiskNode*> entries;
  for (const auto& child : *root.children) entries.push_back(&child);
  std::ranges::stable_sort(entries, [](auto* a, auto* b) { return a->size > b->size; });
  if (entries.size() > kEntriesShown) entries.resize(kEntriesShown);
  for (const scan::DiskNode* entry : entries) {
    const double share =
        root.size == 0 ? 0.0
                       : static_cast<double>(entry->size) / static_cast<double>(root.size) * 100.0;
    print_line(fmt::format("  {:>10}  {:>5.1f}%  {}{}", format_size(entry->size), share,
                           entry->path, dim(entry->is_dir ? "/" : " ")));
  }
}

}  // namespace

int run_scan(const Scan& command) {
  const scan::SweepOptions options{
      .children_depth = 1, .min_child_size = 1 << 20, .same_device = true};
  auto job = with_progress(
      [&] { return run_blocking([&] { return scan::disk_sweep(command.path, options); }); });
  // An interrupted sweep is incomplete: no part of its report is shown, the heading included.
  if (stop_requested()) return stopped_status();
  print_line(bold("Scanning") + " " + cyan(command.path));
  std::string error;
  if (!job) {
    error = "Scan task failed: " + job.error();
  } else if (!*job) {
    error = job->error();
  }
  if (!error.empty()) {
    print_error_line(red("Scan failed:") + " " + error);
    return 1;
  }
  const scan::DiskNode& root = **job;
  print_line();
  print_line("  " + bold(format_size(root.size)) + "  " + dim("total"));
  print_entries(root);
  return 0;
}

}  // namespace orvc::cli
