#include "cli/command_table.hpp"
#include "cli/console.hpp"
#include "cli/flows.hpp"

namespace orvc::cli {

int main_routine(const std::vector<std::string>& args) {
  auto command = parse_command(args);
  if (!command) {
    std::string line = red("Error:") + " " + command.error() + "\n";
    print_error_line(line);
    print_help();
    return 1;
  }
  return entry_for(*command).run(*command);
}

}  // namespace orvc::cli
