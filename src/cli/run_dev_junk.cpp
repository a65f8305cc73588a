#include <fmt/format.h>

#include "cli/console.hpp"
#include "cli/flows.hpp"
#include "cli/json_junk.hpp"
#include "cli/json_removal.hpp"
#include "cli/junk_scan_job.hpp"
#include "cli/progress_line.hpp"
#include "cli/removal_gate.hpp"
#include "cli/stop_signals.hpp"
#include "junk/dev_junk_scan.hpp"
#include "removal/cleanup.hpp"
#include "util/saturating.hpp"
#include "util/stop_request.hpp"
#include "util/text.hpp"

namespace orvc::cli {
namespace {

constexpr removal::CleanupType kCleanupType = removal::CleanupType::DevJunk;

struct Totals {
  size_t item_count = 0;
  uint64_t total = 0;
  uint64_t safe_total = 0;
  std::vector<std::string> safe_paths;  // listing order
  std::vector<uint64_t> safe_sizes;     // beside safe_paths
};

Totals totals_of(const std::vector<junk::JunkCategory>& categories) {
  Totals totals;
  for (const junk::JunkCategory& category : categories) {
    for (const junk::JunkItem& item : category.items) {
      if (!item.safe) continue;
      totals.safe_total = saturating_add(totals.safe_total, item.size_bytes);
      totals.safe_paths.push_back(item.path);
      totals.safe_sizes.push_back(item.size_bytes);
    }
    totals.item_count += category.items.size();
    totals.total = saturating_add(totals.total, category.total_bytes);
  }
  return totals;
}

void report_categories(const std::vector<junk::JunkCategory>& categories) {
  for (const junk::JunkCategory& category : categories) {
    print_line();
    print_line("  " + cyan(bold(category.name)) + " " +
               dim("(" + format_size(category.total_bytes) + ")"));
    for (const junk::JunkItem& item : category.items) {
      const std::string mark = item.safe ? green("✓") : yellow("!");
      print_line(fmt::format("    {} {:>10}  {}", mark, format_size(item.size_bytes),
                             lossy_utf8(item.path)));
    }
  }
}

removal::CleanupReport clean_safe_items(const Totals& totals) {
  return with_progress([&] {
    return removal::run_cleanup_report(
        removal::CleanupRequest{.paths = totals.safe_paths, .cleanup_type = kCleanupType});
  });
}

int apply_safe_items(const Totals& totals) {
  if (totals.safe_paths.empty()) {
    print_line(yellow("  No safe-to-clean items to apply."));
    return 0;
  }
  const auto outcome = clean_safe_items(totals).outcome;
  if (!outcome) {
    print_error_line("  " + red("Some items could not be cleaned:") + " " + outcome.error());
    return 1;
  }
  // Only what was moved counts: a protected item is passed over without failing the run.
  uint64_t cleaned = 0;
  for (size_t i = 0; i < totals.safe_paths.size(); ++i) {
    if (outcome->contains(totals.safe_paths[i])) {
      cleaned = saturating_add(cleaned, totals.safe_sizes[i]);
    }
  }
  print_line("  " + green("Cleaned " + format_size(cleaned) + " — moved to Trash (recoverable)."));
  return 0;
}

int write_json(const DevJunk& command, const std::vector<junk::JunkCategory>& categories,
               const Totals& totals) {
  std::optional<removal::CleanupReport> removal;
  if (command.apply && !totals.safe_paths.empty()) removal = clean_safe_items(totals);
  if (removal && !removal->outcome) {
    print_error_line("  " + red("Some items could not be cleaned:") + " " +
                     removal->outcome.error());
  }
  JsonDocument document("dev-junk");
  add_junk_roots(document);
  document.add("options", {{"apply", command.apply},
                           {"older_days", command.older_days ? JsonValue(*command.older_days)
                                                             : JsonValue(nullptr)}});
  document.open_array("categories");
  for (const junk::JunkCategory& category : categories) {
    document.open_object();
    document.add("name", category.name);
    document.add("description", category.description);
    document.add("total_bytes", category.total_bytes);
    document.open_array("items");
    for (const junk::JunkItem& item : category.items) document.add(junk_item_record(item));
    document.close();
    document.close();
  }
  document.close();
  document.add("item_count", totals.item_count);
  document.add("total_bytes", totals.total);
  document.add("safe_bytes", totals.safe_total);
  if (removal) add_removal(document, kCleanupType, *removal);
  return removal && !removal->outcome ? 1 : 0;
}

}  // namespace

int run_dev_junk(const DevJunk& command) {
  if (command.apply && !removal_allowed(command.format)) return 1;
  const auto scanned = run_junk_scan_job(command.older_days);
  // An interrupted scan is incomplete: nothing of it is reported.
  if (stop_requested()) return stopped_status();
  if (!scanned) {
    return report_failure(command.format, scanned.error().title, scanned.error().message);
  }
  const std::vector<junk::JunkCategory>& categories = *scanned;
  const Totals totals = totals_of(categories);
  if (command.format == ReportFormat::Json) return write_json(command, categories, totals);
  print_line(bold("Developer Junk"));
  if (command.older_days) {
    print_line(dim(fmt::format("  Only items untouched for {} days or more", *command.older_days)));
  }
  if (categories.empty()) {
    print_line(green("  Nothing found — your dev caches are clean."));
    return 0;
  }
  report_categories(categories);
  print_line();
  print_line("  " + bold(fmt::format("{} items, {} total ({} safe-to-clean)", totals.item_count,
                                     format_size(totals.total), format_size(totals.safe_total))));
  if (!command.apply) {
    print_line("  " +
               yellow("DRY RUN — nothing was deleted. Re-run with --apply to clean safe items."));
    return 0;
  }
  return apply_safe_items(totals);
}

}  // namespace orvc::cli
