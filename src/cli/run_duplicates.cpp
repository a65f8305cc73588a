#include <fmt/format.h>
#include <fmt/ranges.h>

#include <algorithm>
#include <atomic>
#include <limits>

#include "cli/console.hpp"
#include "cli/duplicate_moves.hpp"
#include "cli/flows.hpp"
#include "cli/removal_gate.hpp"
#include "duplicates/find_duplicates.hpp"
#include "util/blocking_job.hpp"
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
  for (const auto& group : groups) {
    if (__builtin_add_overflow(total, group.reclaimable_bytes, &total)) {
      return std::numeric_limits<uint64_t>::max();
    }
  }
  return total;
}

int apply_to_copies(const std::vector<duplicates::DuplicateGroup>& groups,
                    const Duplicates& command) {
  const auto plan = plan_duplicate_moves(
      groups, command.include_tracked ? TrackedCopies::Moved : TrackedCopies::LeftAlone);
  const auto done = move_duplicate_copies(groups, plan);
  for (const auto& left : done.left_in_place) {
    const auto& copy = groups[left.copy.group].duplicates[left.copy.duplicate];
    print_line("  " + lossy_utf8(copy.path) + ": " +
               yellow(left.why == duplicates::Recheck::KeptChanged
                          ? "its kept copy changed since the scan; left in place"
                          : "changed since the scan; left in place"));
  }
  if (!done.outcome) {
    print_error_line("  " + red("Some items could not be moved:") + " " + done.outcome.error());
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
  if (command.apply && !removal_allowed()) return 1;
  print_line(bold("Finding duplicates under") + " " + cyan(lossy_utf8(command.path)));

  const std::atomic<bool> cancel_flag{false};
  auto found = run_blocking([&] {
    return duplicates::find_duplicates(command.path, /*skip_dev_dirs=*/true, cancel_flag,
                                       [](std::string_view line) { print_error_line(line); });
  });
  if (!found) {
    print_error_line(red("Task error:") + " " + found.error());
    return 1;
  }
  auto& groups = *found;
  if (groups.empty()) {
    print_line(green("  No duplicates found."));
    return 0;
  }

  duplicates::sort_by_reclaimable(groups);
  for (size_t i = 0; i < std::min(groups.size(), kGroupsShown); ++i) print_group(groups[i]);
  print_line();
  print_line("  " + bold(fmt::format("{} duplicate groups, {} reclaimable", groups.size(),
                                     format_size(total_reclaimable(groups)))));
  return command.apply ? apply_to_copies(groups, command) : 0;
}

}  // namespace orvc::cli
