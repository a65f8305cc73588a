#include <fmt/format.h>
#include <fmt/ranges.h>

#include <algorithm>

#include "cli/console.hpp"
#include "cli/duplicate_moves.hpp"
#include "cli/flows.hpp"
#include "cli/json_output.hpp"
#include "cli/json_removal.hpp"
#include "cli/progress_line.hpp"
#include "cli/removal_gate.hpp"
#include "cli/stop_signals.hpp"
#include "duplicates/find_duplicates.hpp"
#include "util/blocking_job.hpp"
#include "util/saturating.hpp"
#include "util/stop_request.hpp"
#include "util/text.hpp"

namespace orvc::cli {
namespace {

constexpr size_t kGroupsShown = 50;

// A copy that frees less than its size says so after its path.
std::string freed_mark(const duplicates::DuplicateCandidate& copy, uint64_t size) {
  if (duplicates::hard_linked_elsewhere(copy)) {
    return dim(" (hard-linked elsewhere: frees " + format_size(0) + ")");
  }
  const uint64_t freed = duplicates::bytes_freed(copy, size);
  if (freed < size) return dim(" (clone: frees " + format_size(freed) + ")");
  return {};
}

void print_group(const duplicates::DuplicateGroup& group) {
  print_line();
  print_line("  " + bold(std::to_string(group.duplicates.size() + 1)) + " × " +
             format_size(group.size) + "  " +
             yellow("(reclaim " + format_size(group.reclaimable_bytes) + ")"));
  std::string keep = "    " + green("keep") + " " + dim(lossy_utf8(group.keep.path));
  if (group.keep.git_tracked) keep += yellow(" [git-tracked]");
  print_line(keep);
  for (const auto& copy : group.duplicates) {
    std::string line =
        "    " + red("dup ") + "  " + lossy_utf8(copy.path) + freed_mark(copy, group.size);
    if (copy.git_tracked) line += yellow(" [git-tracked — review before deleting]");
    print_line(line);
  }
}

uint64_t total_reclaimable(const std::vector<duplicates::DuplicateGroup>& groups) {
  uint64_t total = 0;
  for (const auto& group : groups) total = saturating_add(total, group.reclaimable_bytes);
  return total;
}

JsonValue file_record(const duplicates::DuplicateCandidate& file) {
  JsonValue record = path_object(file.path);
  record["git_tracked"] = file.git_tracked;
  set_time(record, "modified", file.modified_secs);
  record["private_bytes"] = file.private_bytes.value_or(file.size);
  return record;
}

// Every group, most reclaimable first, written as it goes.
void write_json(const Duplicates& command, const std::vector<duplicates::DuplicateGroup>& groups,
                const std::optional<removal::CleanupReport>& removal) {
  JsonDocument document("duplicates");
  document.open_array("roots");
  document.add(path_object(command.path));
  document.close();
  document.add("options", {{"apply", command.apply}, {"include_tracked", command.include_tracked}});
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
  if (removal) add_removal(document, kDuplicatesCleanupType, *removal);
}

DuplicateMovePlan plan_for(const std::vector<duplicates::DuplicateGroup>& groups,
                           const Duplicates& command) {
  return plan_duplicate_moves(
      groups, command.include_tracked ? TrackedCopies::Moved : TrackedCopies::LeftAlone);
}

int apply_to_copies(const std::vector<duplicates::DuplicateGroup>& groups,
                    const Duplicates& command) {
  const auto plan = plan_for(groups, command);
  const auto done = move_duplicate_copies(groups, plan);
  for (const auto& left : done.left_in_place) {
    const auto& copy = groups[left.copy.group].duplicates[left.copy.duplicate];
    print_line("  " + lossy_utf8(copy.path) + ": " +
               yellow(left.why == duplicates::Recheck::KeptChanged
                          ? "its kept copy changed since the scan; left in place"
                          : "changed since the scan; left in place"));
  }
  if (!done.report.outcome) {
    print_error_line("  " + red("Some items could not be moved:") + " " +
                     done.report.outcome.error());
    return 1;
  }
  // Refused by the safety rules, or gone before the move.
  const size_t passed_over = plan.copies.size() - done.moved.size() - done.left_in_place.size();
  std::vector<std::string> left_alone;
  if (plan.tracked_left > 0) {
    left_alone.push_back(
        fmt::format("{} git-tracked copies (--include-tracked moves them)", plan.tracked_left));
  }
  if (plan.freeing_nothing > 0) {
    left_alone.push_back(fmt::format("{} copies that free nothing", plan.freeing_nothing));
  }
  if (passed_over > 0) {
    left_alone.push_back(fmt::format("{} copies refused by the safety rules or gone", passed_over));
  }
  if (!left_alone.empty())
    print_line("  " + dim(fmt::format("Left alone: {}.", fmt::join(left_alone, ", "))));
  print_line("  " + green(fmt::format("Moved {} copies to Trash (recoverable), freeing {}.",
                                      done.moved.size(), format_size(done.bytes_freed))));
  return 0;
}

}  // namespace

int run_duplicates(const Duplicates& command) {
  const bool json = command.format == ReportFormat::Json;
  if (command.apply && !removal_allowed(command.format)) return 1;
  if (!json) print_line(bold("Finding duplicates under") + " " + cyan(lossy_utf8(command.path)));

  auto found = with_progress([&] {
    return run_blocking([&] {
      return duplicates::find_duplicates(command.path, duplicates::DevFolders::Skip, cancel_flag(),
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
    std::optional<removal::CleanupReport> removal;
    if (command.apply && !groups.empty()) {
      removal = move_duplicate_copies(groups, plan_for(groups, command)).report;
      if (!removal->outcome) {
        print_error_line("  " + red("Some items could not be moved:") + " " +
                         removal->outcome.error());
      }
    }
    write_json(command, groups, removal);
    return removal && !removal->outcome ? 1 : 0;
  }
  if (groups.empty()) {
    print_line(green("  No duplicates found."));
    return 0;
  }

  for (size_t i = 0; i < std::min(groups.size(), kGroupsShown); ++i) print_group(groups[i]);
  print_line();
  print_line("  " + bold(fmt::format("{} duplicate groups, {} reclaimable", groups.size(),
                                     format_size(total_reclaimable(groups)))));
  return command.apply ? apply_to_copies(groups, command) : 0;
}

}  // namespace orvc::cli
