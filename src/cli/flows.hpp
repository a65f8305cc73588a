#pragma once
// One reader and one flow per command, listed in the command table (command_table.cpp). A
// reader takes the arguments after the command's name and returns its Command or the message
// that rejects them; a flow runs its scan as a blocking job, prints the report and returns the
// exit status (0 or 1).
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "cli/command.hpp"

namespace orvc::cli {

Result<Command> parse_scan(std::span<const std::string> rest);
Result<Command> parse_duplicates(std::span<const std::string> rest);
Result<Command> parse_large_files(std::span<const std::string> rest);
Result<Command> parse_dev_junk(std::span<const std::string> rest);
Result<Command> parse_delete(std::span<const std::string> rest);
Result<Command> parse_history(std::span<const std::string> rest);
Result<Command> parse_restore(std::span<const std::string> rest);
Result<Command> parse_diff(std::span<const std::string> rest);
Result<Command> parse_help(std::span<const std::string> rest);
Result<Command> parse_version(std::span<const std::string> rest);

int run_scan(const Scan& command);
int run_duplicates(const Duplicates& command);
int run_diff(const Diff& command);
int run_large_files(const LargeFiles& command);
int run_dev_junk(const DevJunk& command);
int run_delete(const Delete& command);
int run_history(const History& command);
int run_restore(const Restore& command);
int run_help(const Help& command);
int run_version(const Version& command);

// The main routine: parses the arguments (without the program name) and runs one flow.
int main_routine(const std::vector<std::string>& args);

}  // namespace orvc::cli
