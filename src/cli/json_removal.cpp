#include "cli/json_removal.hpp"

#include "util/saturating.hpp"
#include "util/text.hpp"

namespace orvc::cli {
namespace {

using removal::ItemOutcome;

std::string_view outcome_name(ItemOutcome outcome) {
  switch (outcome) {
    case ItemOutcome::Moved:
      return "moved";
    case ItemOutcome::Missing:
      return "missing";
    case ItemOutcome::Repeated:
      return "repeated";
    case ItemOutcome::Protected:
      return "protected";
    case ItemOutcome::NotStarted:
      return "not_started";
    case ItemOutcome::Declined:
      return "changed";
    case ItemOutcome::Failed:
      break;
  }
  return "failed";
}

std::string_view rule_name(safety::ProtectionKind kind) {
  switch (kind) {
    case safety::ProtectionKind::Root:
      return "root";
    case safety::ProtectionKind::SystemRoot:
      return "system_root";
    case safety::ProtectionKind::HomeOrAncestor:
      return "home_or_ancestor";
    case safety::ProtectionKind::UserFolder:
      return "user_folder";
    case safety::ProtectionKind::SensitivePath:
      return "sensitive_path";
    case safety::ProtectionKind::SystemDaemonCache:
      return "system_daemon_cache";
    case safety::ProtectionKind::UserProtected:
      break;
  }
  return "user_protected";
}

JsonValue item_record(const removal::CleanupItem& item) {
  JsonValue record = path_object(item.path);
  record["outcome"] = outcome_name(item.outcome);
  record["size"] = item.size;
  if (item.trashed) {
    set_path(record, "original_path", item.trashed->original_path);
    record["trashed_name"] = item.trashed->name;
    // Empty when the desktop's Trash service moved it and did not say where.
    if (item.trashed->trash_path.empty()) {
      record["trash_path"] = nullptr;
    } else {
      set_path(record, "trash_path", item.trashed->trash_path);
    }
  }
  if (item.protection) {
    record["rule"] = {{"kind", rule_name(item.protection->kind)},
                      {"matched", lossy_utf8(item.protection->matched)}};
  }
  if (item.outcome == ItemOutcome::Failed) record["reason"] = lossy_utf8(item.problem);
  return record;
}

}  // namespace

void add_removal(JsonDocument& document, removal::CleanupType cleanup_type,
                 const removal::CleanupReport& report) {
  document.open_object("removal");
  document.add("cleanup_type", removal::stored_spelling(cleanup_type));
  document.add("session_id", report.session_id ? JsonValue(*report.session_id) : nullptr);
  size_t moved = 0;
  uint64_t moved_bytes = 0;
  document.open_array("items");
  for (const removal::CleanupItem& item : report.items) {
    document.add(item_record(item));
    if (item.outcome == ItemOutcome::Moved) {
      ++moved;
      moved_bytes = saturating_add(moved_bytes, item.size);
    }
  }
  document.close();
  document.add("moved_count", moved);
  document.add("moved_bytes", moved_bytes);
  document.close();
  if (!report.outcome) document.add("error", lossy_utf8(report.outcome.error()));
}

}  // namespace orvc::cli
