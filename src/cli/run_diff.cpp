#include <fmt/format.h>

#include "cli/console.hpp"
#include "cli/flows.hpp"
#include "cli/json_junk.hpp"
#include "cli/junk_scan_job.hpp"
#include "cli/stop_signals.hpp"
#include "junk/dev_junk_scan.hpp"
#include "junk/disk_usage.hpp"
#include "util/saturating.hpp"
#include "util/stop_request.hpp"
#include "util/text.hpp"

namespace orvc::cli {
namespace {

using ItemList = std::vector<const junk::JunkItem*>;

uint64_t total_of(const ItemList& items) {
  uint64_t total = 0;
  for (const junk::JunkItem* item : items) total = saturating_add(total, item->size_bytes);
  return total;
}

void write_json(const Diff& command, const ItemList& removed, const ItemList& preserved) {
  JsonDocument document("diff");
  add_junk_roots(document);
  document.add("options", {{"dry_run", true},
                           {"older_days", command.older_days ? JsonValue(*command.older_days)
                                                             : JsonValue(nullptr)}});
  for (const auto& [key, items] : {std::pair{"removed", &removed}, {"preserved", &preserved}}) {
    document.open_array(key);
    for (const junk::JunkItem* item : *items) document.add(junk_item_record(*item));
    document.close();
  }
  document.add("removed_count", removed.size());
  document.add("removed_bytes", total_of(removed));
}

}  // namespace

// A dry run by nature: prints what `dev-junk --apply` would move, never calls the executor.
int run_diff(const Diff& command) {
  const auto scanned = run_junk_scan_job(command.older_days);
  // An interrupted scan is incomplete: nothing of it is reported.
  if (stop_requested()) return stopped_status();
  if (!scanned) {
    return report_failure(command.format, scanned.error().title, scanned.error().message);
  }
  ItemList removed, preserved;
  for (const junk::JunkCategory& category : *scanned) {
    for (const junk::JunkItem& item : category.items) {
      (item.safe ? removed : preserved).push_back(&item);
    }
  }
  if (command.format == ReportFormat::Json) {
    write_json(command, removed, preserved);
    return 0;
  }
  print_line(bold("--- a/disk (current)"));
  print_line(bold("+++ b/disk (after cleanup, DRY RUN)"));
  for (const junk::JunkItem* item : removed) {
    print_line(
        red(fmt::format("- {} [{}]", lossy_utf8(item->path), format_size(item->size_bytes))));
  }
  for (const junk::JunkItem* item : preserved) {
    print_line(dim(fmt::format("  {} [{}] (preserved — risky, not auto-selected)",
                               lossy_utf8(item->path), format_size(item->size_bytes))));
  }
  print_line();
  print_line(bold(fmt::format("{} files changed, -{} space reclaimed (DRY RUN)", removed.size(),
                              format_size(total_of(removed)))));
  return 0;
}

}  // namespace orvc::cli
