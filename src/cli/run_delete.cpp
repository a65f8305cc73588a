#include <string>

#include "cli/console.hpp"
#include "cli/flows.hpp"
#include "cli/json_removal.hpp"
#include "cli/progress_line.hpp"
#include "cli/removal_gate.hpp"
#include "removal/cleanup.hpp"

namespace orvc::cli {
namespace {

constexpr removal::CleanupType kCleanupType = removal::CleanupType::Delete;

void write_json(const Delete& command, const removal::CleanupReport& report) {
  JsonDocument document("delete");
  document.open_array("paths");
  for (const auto& path : command.paths) document.add(path_object(path));
  document.close();
  document.add("options", JsonValue::object());
  add_removal(document, kCleanupType, report);
}

}  // namespace

int run_delete(const Delete& command) {
  const bool json = command.format == ReportFormat::Json;
  if (!removal_allowed(command.format)) return 1;
  if (!json) {
    print_line(bold("Moving to Trash:") + " " +
               dim(std::to_string(command.paths.size()) + " item(s)"));
    for (const auto& path : command.paths) print_line("  " + red("trash") + " " + path);
  }

  const auto report = with_progress([&] {
    return removal::run_cleanup_report({command.paths, kCleanupType});
  });
  if (!report.outcome) {
    print_error_line("  " + red("Some items could not be moved:") + " " + report.outcome.error());
  }
  if (json) {
    write_json(command, report);
  } else if (report.outcome) {
    print_line("  " + green("Done — items moved to Trash (recoverable)."));
  }
  return report.outcome ? 0 : 1;
}

}  // namespace orvc::cli
