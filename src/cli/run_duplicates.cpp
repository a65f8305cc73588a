#include <fmt/format.h>

#include <algorithm>
#include <limits>

#include "cli/console.hpp"
#include "cli/flows.hpp"
#include "cli/json_output.hpp"
#include "cli/progress_line.hpp"
#include "cli/stop_signals.hpp"
#include "duplicates/find_duplicates.hpp"
#include "util/blocking_job.hpp"
#include "util/stop_request.hpp"
#include "util/text.hpp"

namespace orvc::cli {
namespace {

constexpr size_t kGroupsShown = 50;

void print_group(const duplicates::DuplicateGroup& group) {
  print_line();
  print_line("  " + bold(std::to_string(group.duplicates.size() + 1)) + " × " +
             format_size(group.size) + "  " +
             yellow("(reclaim " + format_size(group.reclaimable_bytes) + ")"));
  std::string keep = "    " + green("keep") + " " + dim(lossy_utf8(group.keep.path));
  if (group.keep.git_tracked) keep += yellow(" [git-tracked]");
  print_line(keep);
  for (const auto& copy : group.duplicates) {
    std::string line = "    " + red("dup ") + "  " + lossy_utf8(copy.path);
    if (copy.git_tracked) line += yellow(" [git-tracked — review before deleting]");
    print_line(line);
  }
}

uint64_t total_reclaimable(const std::vector<duplicates::DuplicateGroup>& groups) {
  uint64_t total = 0;
  for (const auto& group : groups) {
    if (__builtin_add_overflow(total, group.reclaimable_bytes, &total)) {
      return std::numeric_limits<uint64_t>::max();
    }
  }
  return total;
}

JsonValue file_record(const duplicates::DuplicateCandidate& file) {
  JsonValue record = path_object(file.path);
  record["git_tracked"] = file.git_tracked;
  set_time(record, "modified", file.modified_secs);
  return record;
}

// Every group, most reclaimable first, written as it goes.
void write_json(const Duplicates& command, const std::vector<duplicates::DuplicateGroup>& groups) {
  JsonDocument document("duplicates");
  document.open_array("roots");
  document.add(path_object(command.path));
  document.close();
  document.add("options", JsonValue::object());
  document.open_array("groups");
  for (const auto& group : groups) {
    document.open_object();
    document.add("size", group.size);
    document.add("file_count", group.duplicates.size() + 1);
    document.add("reclaimable_bytes", group.reclaimable_bytes);
    document.add("hash", group.hash);
    document.add("keep", file_record(group.keep));
    document.open_array("duplicates");
    for (const auto& copy : group.duplicates) document.add(file_record(copy));
    document.close();
    document.close();
  }
  document.close();
  document.add("group_count", groups.size());
  document.add("reclaimable_bytes", total_reclaimable(groups));
}

}  // namespace

int run_duplicates(const Duplicates& command) {
  const bool json = command.format == ReportFormat::Json;
  if (!json) print_line(bold("Finding duplicates under") + " " + cyan(lossy_utf8(command.path)));

  auto found = with_progress([&] {
    return run_blocking([&] {
      return duplicates::find_duplicates(command.path, /*skip_dev_dirs=*/true, cancel_flag(),
                                         [](std::string_view line) {
                                           // Counts of an interrupted search would mislead.
                                           if (!stop_requested()) print_error_line(line);
                                         });
    });
  });
  if (stop_requested()) return stopped_status();
  if (!found) return report_failure(command.format, "Task error:", found.error());
  auto& groups = *found;
  duplicates::sort_by_reclaimable(groups);
  if (json) {
    write_json(command, groups);
    return 0;
  }
  if (groups.empty()) {
    print_line(green("  No duplicates found."));
    return 0;
  }

  for (size_t i = 0; i < std::min(groups.size(), kGroupsShown); ++i) print_group(groups[i]);
  print_line();
  print_line("  " + bold(fmt::format("{} duplicate groups, {} reclaimable", groups.size(),
                                     format_size(total_reclaimable(groups)))));
  return 0;
}

}  // namespace orvc::cli
