#include <limits>

#include "cli/command.hpp"
#include "cli/command_table.hpp"
#include "cli/flows.hpp"
#include "platform/home.hpp"

namespace orvc::cli {
namespace {

// One optional "+", then ASCII digits only, fitting in 64 bits unsigned.
std::optional<uint64_t> parse_unsigned(std::string_view text) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    const auto digit = static_cast<uint64_t>(c - '0');
    if (value > (std::numeric_limits<uint64_t>::max() - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
  }
  return value;
}

std::string default_path() {
  return home_folder().value_or(".");
}

// --json and the output flags, which every reporting command takes.
template <typename Reporting>
bool read_report_flag(std::string_view arg, Reporting& command) {
  if (arg == "--json") {
    command.format = ReportFormat::Json;
    return true;
  }
  return read_output_flag(arg, command.output);
}

// "--path <dir>", --json and the output flags are the options of scan.
template <typename Walk>
Result<Command> read_path_option(std::span<const std::string> rest) {
  Walk command;
  std::optional<std::string> path;
  for (size_t i = 0; i < rest.size(); ++i) {
    if (read_report_flag(rest[i], command)) continue;
    if (rest[i] != "--path") return failure("Unknown flag: " + rest[i]);
    if (i + 1 >= rest.size()) return failure("--path requires a directory argument");
    path = expand_tilde(rest[++i]);
  }
  command.path = path ? *path : default_path();
  return command;
}

// The value of "--older" at rest[i], read as large-files reads "--age"; moves `i` onto it.
Result<uint64_t> read_older_days(std::span<const std::string> rest, size_t& i) {
  if (i + 1 >= rest.size()) return failure("--older requires a number of days");
  const auto value = parse_unsigned(rest[++i]);
  if (!value) return failure("--older must be a number (days), got: " + rest[i]);
  return *value;
}

}  // namespace

Result<Command> parse_scan(std::span<const std::string> rest) {
  return read_path_option<Scan>(rest);
}

Result<Command> parse_duplicates(std::span<const std::string> rest) {
  Duplicates command;
  std::optional<std::string> path;
  for (size_t i = 0; i < rest.size(); ++i) {
    const std::string& arg = rest[i];
    if (arg == "--path") {
      if (i + 1 >= rest.size()) return failure("--path requires a directory argument");
      path = expand_tilde(rest[++i]);
    } else if (arg == "--apply") {
      command.apply = true;
    } else if (arg == "--dry-run") {
      command.apply = false;
    } else if (arg == "--include-tracked") {
      command.include_tracked = true;
    } else if (!read_report_flag(arg, command)) {
      return failure("Unknown flag: " + arg);
    }
  }
  command.path = path ? *path : default_path();
  return command;
}

Result<Command> parse_large_files(std::span<const std::string> rest) {
  LargeFiles command;
  for (size_t i = 0; i < rest.size(); ++i) {
    const std::string& arg = rest[i];
    const bool has_value = i + 1 < rest.size();
    if (arg == "--path") {
      if (!has_value) return failure("--path requires a directory argument");
      command.path = expand_tilde(rest[++i]);
    } else if (arg == "--threshold") {
      if (!has_value) return failure("--threshold requires a size in MB");
      const auto value = parse_unsigned(rest[++i]);
      if (!value) return failure("--threshold must be a number (MB), got: " + rest[i]);
      command.threshold_mb = *value;
    } else if (arg == "--age") {
      if (!has_value) return failure("--age requires a number of days");
      const auto value = parse_unsigned(rest[++i]);
      if (!value) return failure("--age must be a number (days), got: " + rest[i]);
      command.age_days = *value;
    } else if (arg == "--apply") {
      command.apply = true;
    } else if (arg == "--dry-run") {
      command.apply = false;
    } else if (!read_report_flag(arg, command)) {
      return failure("Unknown flag for large-files: " + arg);
    }
  }
  return command;
}

Result<Command> parse_dev_junk(std::span<const std::string> rest) {
  DevJunk command;
  for (size_t i = 0; i < rest.size(); ++i) {
    const std::string& arg = rest[i];
    if (arg == "--apply") {
      command.apply = true;
    } else if (arg == "--dry-run") {
      command.apply = false;
    } else if (arg == "--older") {
      command.older_days = ORVC_TRY(read_older_days(rest, i));
    } else if (!read_report_flag(arg, command)) {
      return failure("Unknown flag for dev-junk: " + arg);
    }
  }
  return command;
}

// Every argument is a path, but for a leading --json.
Result<Command> parse_delete(std::span<const std::string> rest) {
  Delete command;
  if (!rest.empty() && rest.front() == "--json") {
    command.format = ReportFormat::Json;
    rest = rest.subspan(1);
  }
  if (rest.empty()) return failure("delete requires at least one path argument");
  for (const std::string& arg : rest) command.paths.push_back(expand_tilde(arg));
  return command;
}

Result<Command> parse_diff(std::span<const std::string> rest) {
  Diff command;
  for (size_t i = 0; i < rest.size(); ++i) {
    if (rest[i] == "--older") {
      command.older_days = ORVC_TRY(read_older_days(rest, i));
    } else if (rest[i] != "--dry-run" && !read_report_flag(rest[i], command)) {
      return failure("Unknown flag for diff: " + rest[i]);
    }
  }
  return command;
}

// Whatever follows "help" is ignored.
Result<Command> parse_help(std::span<const std::string>) {
  return Help{};
}

std::string expand_tilde(const std::string& argument) {
  if (argument != "~" && !argument.starts_with("~/")) return argument;
  const auto home = home_folder();
  if (!home) return argument;
  if (argument == "~") return *home;
  std::string out = *home;
  if (out.empty() || out.back() != '/') out.push_back('/');
  out.append(argument, 2);
  return out;
}

Result<Command> parse_command(const std::vector<std::string>& args) {
  OutputOptions leading;
  size_t first = 0;
  while (first < args.size() && read_output_flag(args[first], leading)) ++first;
  if (first == args.size()) return Help{};
  const CommandEntry* entry = find_command(args[first]);
  if (!entry) return failure("Unknown command: " + args[first]);
  Command command = ORVC_TRY(entry->parse(std::span<const std::string>(args).subspan(first + 1)));
  std::visit(
      [&](auto& alternative) {
        if constexpr (requires { alternative.output; }) {
          alternative.output = merged(leading, alternative.output);
          alternative.output.json = alternative.format == ReportFormat::Json;
        }
      },
      command);
  return command;
}

OutputOptions output_options_of(const Command& command) {
  return std::visit(
      [](const auto& alternative) {
        if constexpr (requires { alternative.output; }) {
          return alternative.output;
        } else {
          return OutputOptions{};
        }
      },
      command);
}

}  // namespace orvc::cli
