#include <unistd.h>

#include <algorithm>

#include "cli/command_table.hpp"
#include "cli/console.hpp"
#include "cli/flows.hpp"
#include "cli/json_output.hpp"
#include "cli/progress_line.hpp"
#include "cli/stop_signals.hpp"
#include "util/stop_request.hpp"

namespace orvc::cli {

int main_routine(const std::vector<std::string>& args) {
  auto command = parse_command(args);
  if (!command) {
    std::string line = red("Error:") + " " + command.error() + "\n";
    print_error_line(line);
    // A script that asked for JSON gets a document, not the help text.
    if (std::ranges::find(args, "--json") != args.end()) {
      write_json_failure("Error: " + command.error());
    } else {
      print_help();
    }
    return 1;
  }
  enable_progress(wants_progress(output_options_of(*command), isatty(STDERR_FILENO) == 1));
  const int status = entry_for(*command).run(*command);
  // A run that was asked to stop says so in its status, whatever it managed to finish.
  return stop_requested() ? stopped_status() : status;
}

}  // namespace orvc::cli
