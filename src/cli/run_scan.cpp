#include <fmt/format.h>

#include <algorithm>

#include "cli/console.hpp"
#include "cli/flows.hpp"
#include "cli/json_output.hpp"
#include "scan/disk_sweep.hpp"
#include "util/blocking_job.hpp"
#include "util/text.hpp"

namespace orvc::cli {
namespace {

constexpr size_t kEntriesShown = 25;
constexpr uint64_t kSmallestFileShown = 1 << 20;

// Largest first; equal sizes keep the sweep's order.
std::vector<const scan::DiskNode*> entries_by_size(const scan::DiskNode& root) {
  std::vector<const scan::DiskNode*> entries;
  if (!root.children) return entries;
  for (const auto& child : *root.children) entries.push_back(&child);
  std::ranges::stable_sort(entries, [](auto* a, auto* b) { return a->size > b->size; });
  return entries;
}

void print_entries(const scan::DiskNode& root) {
  auto entries = entries_by_size(root);
  if (entries.size() > kEntriesShown) entries.resize(kEntriesShown);
  for (const scan::DiskNode* entry : entries) {
    const double share =
        root.size == 0 ? 0.0
                       : static_cast<double>(entry->size) / static_cast<double>(root.size) * 100.0;
    print_line(fmt::format("  {:>10}  {:>5.1f}%  {}{}", format_size(entry->size), share,
                           lossy_utf8(entry->path), dim(entry->is_dir ? "/" : " ")));
  }
}

JsonValue node_record(const scan::DiskNode& node) {
  JsonValue record = path_object(node.path);
  record["is_dir"] = node.is_dir;
  record["size"] = node.size;
  record["allocated"] = node.allocated;
  record["unreadable"] = node.unreadable;
  return record;
}

// Every entry of the folder, not only those the text report has room for.
void write_json(const Scan& command, const scan::DiskNode& root) {
  JsonDocument document("scan");
  document.open_array("roots");
  document.add(path_object(command.path));
  document.close();
  document.add("options", JsonValue::object());
  document.add("total", node_record(root));
  const auto entries = entries_by_size(root);
  document.open_array("entries");
  for (const scan::DiskNode* entry : entries) document.add(node_record(*entry));
  document.close();
  document.add("entry_count", entries.size());
}

}  // namespace

int run_scan(const Scan& command) {
  const bool json = command.format == ReportFormat::Json;
  if (!json) print_line(bold("Scanning") + " " + cyan(command.path));
  const scan::SweepOptions options{
      .children_depth = 1, .min_child_size = json ? 0 : kSmallestFileShown, .same_device = true};
  auto job = run_blocking([&] { return scan::disk_sweep(command.path, options); });
  std::string error;
  if (!job) {
    error = "Scan task failed: " + job.error();
  } else if (!*job) {
    error = job->error();
  }
  if (!error.empty()) return report_failure(command.format, "Scan failed:", error);
  const scan::DiskNode& root = **job;
  if (json) {
    write_json(command, root);
    return 0;
  }
  print_line();
  print_line("  " + bold(format_size(root.size)) + "  " + dim("total"));
  print_entries(root);
  return 0;
}

}  // namespace orvc::cli
