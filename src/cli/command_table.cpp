#include "cli/command_table.hpp"

#include <array>
#include <type_traits>
#include <variant>

#include "cli/flows.hpp"

namespace orvc::cli {
namespace {

template <typename T, typename... Alternatives>
constexpr size_t index_in(const std::variant<Alternatives...>*) {
  constexpr bool matches[] = {std::is_same_v<T, Alternatives>...};
  for (size_t i = 0; i < sizeof...(Alternatives); ++i) {
    if (matches[i]) return i;
  }
  return sizeof...(Alternatives);
}

template <typename T>
constexpr size_t kind_of() {
  return index_in<T>(static_cast<const Command*>(nullptr));
}

template <typename T, int (*Flow)(const T&)>
int run_as(const Command& command) {
  return Flow(std::get<T>(command));
}

constexpr std::array<std::string_view, 0> kNoAliases{};
constexpr std::array<std::string_view, 1> kDeleteAliases{"rm"};
constexpr std::array<std::string_view, 2> kHelpAliases{"-h", "--help"};
constexpr std::array<std::string_view, 1> kVersionAliases{"--version"};

const std::array<CommandEntry, 10> kCommands = {{
    {"dev-junk", kNoAliases, "dev-junk [--dry-run] [--apply] [--older <days>] [--json]",
     "Scan (and optionally clean) developer junk (Docker.raw, Node/Xcode/Python)", parse_dev_junk,
     run_as<DevJunk, run_dev_junk>, kind_of<DevJunk>()},
    {"scan", kNoAliases, "scan [--path <dir>] [--json]",
     "Fast parallel disk-usage sweep of a directory", parse_scan, run_as<Scan, run_scan>,
     kind_of<Scan>()},
    {"duplicates", kNoAliases,
     "duplicates [--path <dir>] [--dry-run] [--apply] [--include-tracked] [--json]",
     "Find exact-duplicate files under a directory (with --apply, move the extra copies to Trash)",
     parse_duplicates, run_as<Duplicates, run_duplicates>, kind_of<Duplicates>()},
    {"large-files", kNoAliases,
     "large-files [--path <dir>] [--threshold <MB>] [--age <days>] [--apply] [--json]",
     "Find (and with --apply, delete) large/old files", parse_large_files,
     run_as<LargeFiles, run_large_files>, kind_of<LargeFiles>()},
    {"delete", kDeleteAliases, "delete [--json] <path>...",
     "Move one or more paths to the Trash (recoverable)", parse_delete, run_as<Delete, run_delete>,
     kind_of<Delete>()},
    {"history", kNoAliases, "history [--path <dir>] [--json]",
     "List the recorded removals and which of their items are still in the Trash", parse_history,
     run_as<History, run_history>, kind_of<History>()},
    {"restore", kNoAliases, "restore [--dry-run] [--to <dir>] [--json] <run-id> | <path>...",
     "Put items back from the Trash where they were (never overwrites)", parse_restore,
     run_as<Restore, run_restore>, kind_of<Restore>()},
    {"diff", kNoAliases, "diff [--dry-run] [--older <days>] [--json]",
     "Print the Git-style deletion preview to stdout", parse_diff, run_as<Diff, run_diff>,
     kind_of<Diff>()},
    {"version", kVersionAliases, "version", "Show the version", parse_version,
     run_as<Version, run_version>, kind_of<Version>()},
    {"help", kHelpAliases, "help", "Show this help", parse_help, run_as<Help, run_help>,
     kind_of<Help>()},
}};

}  // namespace

std::span<const CommandEntry> command_table() {
  return kCommands;
}

const CommandEntry* find_command(std::string_view word) {
  for (const CommandEntry& entry : kCommands) {
    if (entry.name == word) return &entry;
    for (const std::string_view alias : entry.aliases) {
      if (alias == word) return &entry;
    }
  }
  return nullptr;
}

const CommandEntry& entry_for(const Command& command) {
  for (const CommandEntry& entry : kCommands) {
    if (entry.kind == command.index()) return entry;
  }
  return kCommands.back();  // every alternative has a row; the help is the harmless answer
}

}  // namespace orvc::cli
