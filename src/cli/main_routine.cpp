#include <algorithm>

#include "cli/command_table.hpp"
#include "cli/console.hpp"
#include "cli/flows.hpp"
#include "cli/json_output.hpp"

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
  return entry_for(*command).run(*command);
}

}  // namespace orvc::cli
