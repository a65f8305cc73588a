#pragma once
// The one table of commands: the parser finds a command's reader here, the main routine its
// flow, and the help its synopsis and description. Adding a command is one row here and one
// run_*.cpp with its reader and its flow.
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cli/command.hpp"

namespace orvc::cli {

struct CommandEntry {
  std::string_view name;
  std::span<const std::string_view> aliases;  // accepted, never listed in the help
  std::string_view synopsis;
  std::string_view description;
  // Reads the arguments after the command's name; the message when they are rejected.
  Result<Command> (*parse)(std::span<const std::string> rest);
  // Runs the flow of the Command that `parse` returned; the exit status.
  int (*run)(const Command& command);
  size_t kind;  // the Command alternative that `parse` returns
};

// In the order of the help text.
std::span<const CommandEntry> command_table();

// The row whose name or alias is exactly `word`; nothing for an unknown word.
const CommandEntry* find_command(std::string_view word);

// The row that runs `command`.
const CommandEntry& entry_for(const Command& command);

}  // namespace orvc::cli
