#include <limits>

#include "cli/command.hpp"
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

// "--path <dir>" is the only option of scan and duplicates.
Result<std::string> read_path_option(const std::vector<std::string>& args) {
  std::optional<std::string> path;
  for (size_t i = 1; i < args.size(); ++i) {
    if (args[i] != "--path") return failure("Unknown flag: " + args[i]);
    if (i + 1 >= args.size()) return failure("--path requires a directory argument");
    path = expand_tilde(args[++i]);
  }
  return path ? *path : default_path();
}

Result<Command> parse_large_files(const std::vector<std::string>& args) {
  LargeFiles command;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool has_value = i + 1 < args.size();
    if (arg == "--path") {
      if (!has_value) return failure("--path requires a directory argument");
      command.path = expand_tilde(args[++i]);
    } else if (arg == "--threshold") {
      if (!has_value) return failure("--threshold requires a size in MB");
      const auto value = parse_unsigned(args[++i]);
      if (!value) return failure("--threshold must be a number (MB), got: " + args[i]);
      command.threshold_mb = *value;
    } else if (arg == "--age") {
      if (!has_value) return failure("--age requires a number of days");
      const auto value = parse_unsigned(args[++i]);
      if (!value) return failure("--age must be a number (days), got: " + args[i]);
      command.age_days = *value;
    } else if (arg == "--apply") {
      command.apply = true;
    } else if (arg == "--dry-run") {
      command.apply = false;
    } else {
      return failure("Unknown flag for large-files: " + arg);
    }
  }
  return command;
}

}  // namespace

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
  if (args.empty()) return Help{};
  const std::string& first = args.front();
  if (first == "help" || first == "-h" || first == "--help") return Help{};
  if (first == "scan") return Scan{ORVC_TRY(read_path_option(args))};
  if (first == "duplicates") return Duplicates{ORVC_TRY(read_path_option(args))};
  if (first == "large-files") return parse_large_files(args);
  if (first == "dev-junk") {
    DevJunk command;
    for (size_t i = 1; i < args.size(); ++i) {
      if (args[i] == "--apply") {
        command.apply = true;
      } else if (args[i] == "--dry-run") {
        command.apply = false;
      } else {
        return failure("Unknown flag for dev-junk: " + args[i]);
      }
    }
    return command;
  }
  if (first == "delete" || first == "rm") {
    if (args.size() < 2) return failure("delete requires at least one path argument");
    Delete command;
    for (size_t i = 1; i < args.size(); ++i) command.paths.push_back(expand_tilde(args[i]));
    return command;
  }
  if (first == "diff") {
    for (size_t i = 1; i < args.size(); ++i) {
      if (args[i] != "--dry-run") return failure("Unknown flag for diff: " + args[i]);
    }
    return Diff{};
  }
  return failure("Unknown command: " + first);
}

}  // namespace orvc::cli
