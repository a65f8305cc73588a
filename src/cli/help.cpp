#include <string>

#include "cli/command.hpp"
#include "cli/command_table.hpp"
#include "cli/console.hpp"
#include "cli/flows.hpp"

namespace orvc::cli {

void print_help() {
  print_line(bold("Orvanta — headless CLI"));
  print_line();
  print_line(bold("USAGE"));
  print_line("  orvc <command> [options]");
  print_line();
  print_line(bold("COMMANDS"));
  for (const CommandEntry& row : command_table()) {
    print_line("  " + cyan(row.synopsis));
    print_line("      " + std::string(row.description));
  }
  print_line();
  print_line(bold("OPTIONS"));
  for (const OutputFlag& flag : output_flag_table()) {
    print_line("  " + cyan(flag.synopsis));
    print_line("      " + std::string(flag.description));
  }
  print_line();
  print_line(dim("All deletions move items to the macOS Trash (recoverable)."));
}

int run_help(const Help&) {
  print_help();
  return 0;
}

}  // namespace orvc::cli
