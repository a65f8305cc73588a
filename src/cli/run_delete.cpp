#include <string>

#include "cli/console.hpp"
#include "cli/flows.hpp"
#include "cli/progress_line.hpp"
#include "cli/removal_gate.hpp"
#include "removal/cleanup.hpp"

namespace orvc::cli {

int run_delete(const Delete& command) {
  if (!removal_allowed()) return 1;
  print_line(bold("Moving to Trash:") + " " +
             dim(std::to_string(command.paths.size()) + " item(s)"));
  for (const auto& path : command.paths) print_line("  " + red("trash") + " " + path);

  const auto outcome = with_progress([&] {
    return removal::run_cleanup({command.paths, "cli_delete"});
  });
  if (!outcome) {
    print_error_line("  " + red("Some items could not be moved:") + " " + outcome.error());
    return 1;
  }
  print_line("  " + green("Done — items moved to Trash (recoverable)."));
  return 0;
}

}  // namespace orvc::cli
