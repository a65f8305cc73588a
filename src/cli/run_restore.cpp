#include <fmt/format.h>
#include <fmt/ranges.h>

#include <string>
#include <vector>

#include "cli/command.hpp"
#include "cli/console.hpp"
#include "cli/flows.hpp"
#include "cli/json_output.hpp"
#include "removal/restore.hpp"
#include "util/text.hpp"

namespace orvc::cli {
namespace {

using removal::RestoreVerdict;

bool put_back(RestoreVerdict verdict) {
  return verdict == RestoreVerdict::Restored || verdict == RestoreVerdict::WouldRestore;
}

std::string mark(RestoreVerdict verdict) {
  switch (verdict) {
    case RestoreVerdict::Restored:
      return green("restored");
    case RestoreVerdict::WouldRestore:
      return yellow("would restore");
    default:
      return red("left");
  }
}

std::string_view verdict_name(RestoreVerdict verdict) {
  switch (verdict) {
    case RestoreVerdict::Restored:
      return "restored";
    case RestoreVerdict::WouldRestore:
      return "would_restore";
    case RestoreVerdict::Exists:
      return "exists";
    case RestoreVerdict::Replaced:
      return "replaced";
    case RestoreVerdict::Refused:
      return "refused";
    case RestoreVerdict::Failed:
      break;
  }
  return "failed";
}

void write_json(const Restore& command, const removal::RestoreReport& report, size_t done,
                const std::string& error) {
  JsonDocument document("restore");
  document.open_array("targets");
  for (const auto& target : command.targets) document.add(path_object(target));
  document.close();
  JsonValue options = {{"dry_run", command.dry_run}, {"to", nullptr}};
  if (command.to) set_path(options, "to", *command.to);
  document.add("options", options);
  document.open_array("items");
  for (const auto& item : report.items) {
    JsonValue record = path_object(item.destination);
    record["outcome"] = verdict_name(item.step.verdict);
    if (!item.step.message.empty()) record["message"] = lossy_utf8(item.step.message);
    document.add(record);
  }
  document.close();
  document.add("item_count", report.items.size());
  document.add("restored_count", done);  // in a dry run: would be restored
  document.add("already_out", report.already_out);
  if (!error.empty()) document.add("error", lossy_utf8(error));
}

}  // namespace

// Flags may come before or after the run id or paths; after "--" everything is a path.
Result<Command> parse_restore(std::span<const std::string> rest) {
  Restore command;
  bool only_paths = false;
  for (size_t i = 0; i < rest.size(); ++i) {
    const std::string& arg = rest[i];
    if (only_paths || arg == "-" || !arg.starts_with("-")) {
      command.targets.push_back(expand_tilde(arg));
    } else if (arg == "--") {
      only_paths = true;
    } else if (arg == "--dry-run") {
      command.dry_run = true;
    } else if (arg == "--json") {
      command.format = ReportFormat::Json;
    } else if (arg == "--to") {
      if (i + 1 >= rest.size()) return failure("--to requires a directory argument");
      command.to = expand_tilde(rest[++i]);
    } else {
      return failure("Unknown flag for restore: " + arg);
    }
  }
  if (command.targets.empty()) {
    return failure("restore requires a run id or at least one path argument");
  }
  return command;
}

int run_restore(const Restore& command) {
  const removal::RestoreMode mode =
      command.dry_run ? removal::RestoreMode::DryRun : removal::RestoreMode::Apply;
  const auto report = removal::run_restore({command.targets, command.to, mode});
  if (!report) return report_failure(command.format, "Error:", report.error());
  const bool json = command.format == ReportFormat::Json;
  if (!json) {
    print_line(bold("Restoring from Trash:") + " " +
               dim(std::to_string(report->items.size()) + " item(s)"));
  }
  std::vector<std::string> issues;
  size_t done = 0;
  for (const auto& item : report->items) {
    if (!json) print_line("  " + mark(item.step.verdict) + " " + lossy_utf8(item.destination));
    if (put_back(item.step.verdict)) {
      ++done;
      // Put back, but with a note (the Trash entry could not be emptied).
      if (!item.step.message.empty()) issues.push_back(item.step.message);
    } else {
      issues.push_back(item.step.message);
    }
  }
  if (report->already_out > 0 && !json) {
    print_line("  " + dim(std::to_string(report->already_out) +
                          " item(s) of the run were no longer in the Trash."));
  }
  std::string error;
  if (!issues.empty()) {
    error = fmt::format("{} {} of {} item(s) with {} issue(s). {}",
                        command.dry_run ? "Would restore" : "Restored", done, report->items.size(),
                        issues.size(), fmt::join(issues, "; "));
    print_error_line("  " + red("Some items could not be restored:") + " " + error);
  }
  if (json) write_json(command, *report, done, error);
  if (json || !issues.empty()) return issues.empty() ? 0 : 1;
  if (command.dry_run) {
    print_line("  " + yellow("DRY RUN — nothing was restored. Re-run without --dry-run to put " +
                             std::to_string(done) + " item(s) back."));
  } else {
    print_line("  " + green("Done — " + std::to_string(done) + " item(s) put back."));
  }
  return 0;
}

}  // namespace orvc::cli
