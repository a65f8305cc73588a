#include <fmt/format.h>

#include "cli/console.hpp"
#include "cli/flows.hpp"
#include "cli/junk_scan_job.hpp"
#include "junk/dev_junk_scan.hpp"
#include "junk/disk_usage.hpp"
#include "util/text.hpp"

namespace orvc::cli {

// A dry run by nature: prints what `dev-junk --apply` would move, never calls the executor.
int run_diff(const Diff& command) {
  const auto scanned = run_junk_scan_job(command.older_days);
  if (!scanned) return 1;
  std::vector<const junk::JunkItem*> removed, preserved;
  for (const junk::JunkCategory& category : *scanned) {
    for (const junk::JunkItem& item : category.items) {
      (item.safe ? removed : preserved).push_back(&item);
    }
  }
  print_line(bold("--- a/disk (current)"));
  print_line(bold("+++ b/disk (after cleanup, DRY RUN)"));
  uint64_t removed_total = 0;
  for (const junk::JunkItem* item : removed) {
    print_line(
        red(fmt::format("- {} [{}]", lossy_utf8(item->path), format_size(item->size_bytes))));
    removed_total = junk::saturating_add(removed_total, item->size_bytes);
  }
  for (const junk::JunkItem* item : preserved) {
    print_line(dim(fmt::format("  {} [{}] (preserved — risky, not auto-selected)",
                               lossy_utf8(item->path), format_size(item->size_bytes))));
  }
  print_line();
  print_line(bold(fmt::format("{} files changed, -{} space reclaimed (DRY RUN)", removed.size(),
                              format_size(removed_total))));
  return 0;
}

}  // namespace orvc::cli
