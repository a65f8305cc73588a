#include <array>
#include <string_view>

#include "cli/command.hpp"
#include "cli/console.hpp"

namespace orvc::cli {

void print_help() {
  struct Row {
    std::string_view synopsis;
    std::string_view description;
  };
  static constexpr std::array<Row, 7> kCommands = {{
      {"dev-junk [--dry-run] [--apply]",
       "Scan (and optionally clean) developer junk (Docker.raw, Node/Xcode/Python)"},
      {"scan [--path <dir>]", "Fast parallel disk-usage sweep of a directory"},
      {"duplicates [--path <dir>]", "Find exact-duplicate files under a directory"},
      {"large-files [--path <dir>] [--threshold <MB>] [--age <days>] [--apply]",
       "Find (and with --apply, delete) large/old files"},
      {"delete <path>...", "Move one or more paths to the Trash (recoverable)"},
      {"diff [--dry-run]", "Print the Git-style deletion preview to stdout"},
      {"help", "Show this help"},
  }};
  print_line(bold("Orvanta — headless CLI"));
  print_line();
  print_line(bold("USAGE"));
  print_line("  orvc <command> [options]");
  print_line();
  print_line(bold("COMMANDS"));
  for (const auto& row : kCommands) {
    print_line("  " + cyan(row.synopsis));
    print_line("      " + std::string(row.description));
  }
  print_line();
  print_line(dim("All deletions move items to the macOS Trash (recoverable)."));
}

}  // namespace orvc::cli
