#include <fmt/format.h>
#include <fmt/ranges.h>
#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "cli/command.hpp"
#include "cli/command_table.hpp"
#include "support/scoped_env.hpp"

namespace orvc::cli {
namespace {

TEST(CommandTable, EveryCommandHasOneRowAndEveryWordOneCommand) {
  std::set<size_t> kinds;
  std::set<std::string_view> words;
  for (const CommandEntry& entry : command_table()) {
    EXPECT_TRUE(kinds.insert(entry.kind).second) << entry.name;
    EXPECT_TRUE(words.insert(entry.name).second) << entry.name;
    for (const auto alias : entry.aliases) EXPECT_TRUE(words.insert(alias).second) << alias;
    EXPECT_EQ(find_command(entry.name), &entry);
    EXPECT_TRUE(entry.synopsis.starts_with(entry.name)) << entry.name;
  }
  EXPECT_EQ(kinds.size(), std::variant_size_v<Command>);
}

std::vector<std::string> words(const std::string& line) {
  std::vector<std::string> out;
  std::istringstream in(line);
  for (std::string word; in >> word;) out.push_back(word);
  return out;
}

// The parsed command's name, its values, and its switches that are on; or the error.
std::string parsed(const std::vector<std::string>& args) {
  const auto command = parse_command(args);
  if (!command) return "error: " + command.error();
  std::string out;
  for (const CommandEntry& entry : command_table())
    if (entry.kind == command->index()) out = entry.name;
  const auto add = [&out](bool on, const std::string& text) { out += on ? " " + text : ""; };
  const auto add_value = [&out](const auto& value, const char* name) {
    if (value) out += fmt::format(" {}={}", name, *value);
  };
  std::visit(
      [&](const auto& c) {
        if constexpr (requires { c.path; }) add_value(std::optional<std::string>(c.path), "path");
        if constexpr (requires { c.threshold_mb; })
          out += fmt::format(" threshold={} age={}", c.threshold_mb, c.age_days);
        if constexpr (requires { c.paths; }) out += fmt::format(" paths={}", c.paths);
        if constexpr (requires { c.targets; }) out += fmt::format(" targets={}", c.targets);
        if constexpr (requires { c.to; }) add_value(c.to, "to");
        if constexpr (requires { c.older_days; }) add_value(c.older_days, "older");
        if constexpr (requires { c.apply; }) add(c.apply, "apply");
        if constexpr (requires { c.dry_run; }) add(c.dry_run, "dry-run");
        if constexpr (requires { c.include_tracked; }) add(c.include_tracked, "include-tracked");
        if constexpr (requires { c.format; }) add(c.format == ReportFormat::Json, "json");
      },
      *command);
  const auto progress = output_options_of(*command).progress;
  add(progress.has_value(), progress.value_or(false) ? "progress" : "quiet");
  return out;
}

TEST(ParseCommand, AcceptedCommandLines) {
  const testing::ScopedEnv home("HOME", "/Users/u");
  const std::pair<const char*, const char*> cases[] = {
      {"-q", "help"},  // the help forms themselves are run end to end
      // --path expands a leading "~/" and the last one wins; a flag's value stays one.
      {"scan --path ~/a --path ~/b", "scan path=/Users/u/b"},
      {"scan --path ~user/x", "scan path=~user/x"},
      {"scan --path -q", "scan path=-q"},
      {"duplicates", "duplicates path=/Users/u"},
      {"history --path ~/p", "history path=/Users/u/p"},
      // The last of --apply and --dry-run wins.
      {"large-files --threshold +12 --age 30 --apply --dry-run --path ~",
       "large-files path=/Users/u threshold=12 age=30"},
      {"large-files", "large-files path= threshold=100 age=0"},
      {"large-files --threshold 18446744073709551615",
       "large-files path= threshold=18446744073709551615 age=0"},
      {"dev-junk --dry-run --apply", "dev-junk apply"},
      {"duplicates --apply --include-tracked --dry-run",
       "duplicates path=/Users/u include-tracked"},
      {"dev-junk --older 7", "dev-junk older=7"},
      {"diff --older +0 --dry-run", "diff older=0"},
      // Every argument of delete is a path, --json only before the first.
      {"rm --apply ~/x --", R"(delete paths=["--apply", "/Users/u/x", "--"])"},
      {"delete --json x", R"(delete paths=["x"] json)"},
      {"rm x --json", R"(delete paths=["x", "--json"])"},
      // restore's flags go either side of its targets (e2e/restore_test); "--" ends them.
      {"restore -- --dry-run -x", R"(restore targets=["--dry-run", "-x"])"},
      {"restore -- --json", R"(restore targets=["--json"])"},
      // --json anywhere among a command's flags.
      {"scan --json --path x", "scan path=x json"},
      {"large-files --apply --json", "large-files path= threshold=100 age=0 apply json"},
      // Output flags before the command's name or among its flags; the last one wins.
      {"scan -q", "scan path=/Users/u quiet"},
      {"--quiet duplicates --progress", "duplicates path=/Users/u progress"},
      {"--progress large-files --apply -q", "large-files path= threshold=100 age=0 apply quiet"},
      {"-q rm -q", R"(delete paths=["-q"] quiet)"},
  };
  for (const auto& [line, description] : cases) EXPECT_EQ(parsed(words(line)), description) << line;
}

// Messages of one faulty line per command, with restore's and history's: e2e/cli_test and
// e2e/restore_test.
TEST(ParseCommand, RejectedCommandLines) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"scan", "--path"}, "--path requires a directory argument"},
      {{"scan", "-p"}, "Unknown flag: -p"},
      {{"duplicates", "--apply", "--force"}, "Unknown flag: --force"},
      {{"large-files", "--threshold"}, "--threshold requires a size in MB"},
      {{"large-files", "--age"}, "--age requires a number of days"},
      {{"large-files", "-x"}, "Unknown flag for large-files: -x"},
      {{"dev-junk", "--force"}, "Unknown flag for dev-junk: --force"},
      {{"dev-junk", "--apply", "--older"}, "--older requires a number of days"},
      {{"delete", "--json"}, "delete requires at least one path argument"},
      {{"diff", "--apply"}, "Unknown flag for diff: --apply"},
      {{"scan", "-a", "-b"}, "Unknown flag: -a"},  // parsing stops at the first fault
      {{"--version", "x"}, "Unknown flag for version: x"},
      {{"-V"}, "Unknown command: -V"},
  };
  for (const auto& [args, message] : cases) EXPECT_EQ(parsed(args), "error: " + message);
  for (const char* bad : {"12MB", "-1", "+", "", "1e3", " 1", "18446744073709551616"}) {
    const std::string got = std::string(" must be a number (days), got: ") + bad;
    EXPECT_EQ(parsed({"large-files", "--threshold", bad}),
              std::string("error: --threshold must be a number (MB), got: ") + bad);
    EXPECT_EQ(parsed({"large-files", "--age", bad}), "error: --age" + got);
    EXPECT_EQ(parsed({"dev-junk", "--older", bad}), "error: --older" + got);
    EXPECT_EQ(parsed({"diff", "--older", bad}), "error: --older" + got);
  }
}

// The flags on and off a terminal: e2e/interruption_test; here, what --json changes.
TEST(OutputOptions, MachineReadableOutputDrawsNoProgressUnlessAsked) {
  EXPECT_FALSE(wants_progress({std::nullopt, true}, true));
  EXPECT_TRUE(wants_progress({true, true}, true));
}

// The password database may still know a home folder; then that one is used.
TEST(ParseCommand, WithoutAnyHomeTildeStaysLiteralAndScanUsesDot) {
  const testing::ScopedEnv no_home("HOME", std::nullopt);
  const bool no_home_at_all = expand_tilde("~") == "~";
  EXPECT_EQ(parsed({"scan"}), "scan path=" + (no_home_at_all ? "." : expand_tilde("~")));
  EXPECT_EQ(expand_tilde("~/x") == "~/x", no_home_at_all);
}

}  // namespace
}  // namespace orvc::cli
