#pragma once
// The parsed command line: one variant per command with its flags.
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "cli/output_options.hpp"
#include "util/expected.hpp"

namespace orvc::cli {

struct DevJunk {
  bool apply = false;
  OutputOptions output;
};
struct Scan {
  std::string path;
  OutputOptions output;
};
struct Duplicates {
  std::string path;
  OutputOptions output;
};
struct LargeFiles {
  std::string path;  // empty when no --path was given
  uint64_t threshold_mb = 100;
  uint64_t age_days = 0;
  bool apply = false;
  OutputOptions output;
};
struct Delete {
  std::vector<std::string> paths;
  OutputOptions output;  // only from flags before the command's name
};
struct History {
  std::optional<std::string> path;  // only runs with items at or under it
};
struct Restore {
  std::vector<std::string> targets;  // run ids or paths
  std::optional<std::string> to;     // every item goes into this folder instead
  bool dry_run = false;
  OutputOptions output;
};
struct Diff {
  OutputOptions output;
};
struct Help {};

using Command =
    std::variant<DevJunk, Scan, Duplicates, LargeFiles, Delete, History, Restore, Diff, Help>;

// A Command, or the one message that explains why the command line was rejected.
Result<Command> parse_command(const std::vector<std::string>& args);

// The output flags of a command; the defaults for commands without long work.
OutputOptions output_options_of(const Command& command);

std::string expand_tilde(const std::string& argument);

void print_help();

}  // namespace orvc::cli
