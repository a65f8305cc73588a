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

// --json: one JSON document on standard output instead of the text report.
enum class ReportFormat { Text, Json };

struct DevJunk {
  bool apply = false;
  ReportFormat format = ReportFormat::Text;
  OutputOptions output;
  std::optional<uint64_t> older_days;  // only items untouched for at least this many days
};
struct Scan {
  std::string path;
  ReportFormat format = ReportFormat::Text;
  OutputOptions output;
};
struct Duplicates {
  std::string path;
  ReportFormat format = ReportFormat::Text;
  OutputOptions output;
  bool apply = false;
  bool include_tracked = false;  // with apply, copies in Git working trees go too
};
struct LargeFiles {
  std::string path;  // empty when no --path was given
  uint64_t threshold_mb = 100;
  uint64_t age_days = 0;
  bool apply = false;
  ReportFormat format = ReportFormat::Text;
  OutputOptions output;
};
struct Delete {
  std::vector<std::string> paths;
  ReportFormat format = ReportFormat::Text;
  OutputOptions output;
};
struct History {
  std::optional<std::string> path;  // only runs with items at or under it
  ReportFormat format = ReportFormat::Text;
};
struct Restore {
  std::vector<std::string> targets;  // run ids or paths
  std::optional<std::string> to;     // every item goes into this folder instead
  bool dry_run = false;
  ReportFormat format = ReportFormat::Text;
  OutputOptions output;
};
struct Diff {
  ReportFormat format = ReportFormat::Text;
  OutputOptions output;
  std::optional<uint64_t> older_days;  // as for DevJunk
};
struct Help {};
struct Version {};

using Command = std::variant<DevJunk, Scan, Duplicates, LargeFiles, Delete, History, Restore, Diff,
                             Help, Version>;

// A Command, or the one message that explains why the command line was rejected.
Result<Command> parse_command(const std::vector<std::string>& args);

// The output flags of a command; the defaults for commands without long work.
OutputOptions output_options_of(const Command& command);

std::string expand_tilde(const std::string& argument);

void print_help();

}  // namespace orvc::cli
