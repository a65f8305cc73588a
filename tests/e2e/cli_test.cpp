// The command line end to end: help, rejected command lines, colour switch.
#include <gtest/gtest.h>

#include "support/run_process.hpp"
#include "support/temp_home.hpp"

namespace orvc::testing {
namespace {

const std::string kHelp = R"(Orvanta — headless CLI

USAGE
  orvc <command> [options]

COMMANDS
  dev-junk [--dry-run] [--apply] [--older <days>] [--json]
      Scan (and optionally clean) developer junk (Docker.raw, Node/Xcode/Python)
  scan [--path <dir>] [--json]
      Fast parallel disk-usage sweep of a directory
  duplicates [--path <dir>] [--dry-run] [--apply] [--include-tracked] [--json]
      Find exact-duplicate files under a directory (with --apply, move the extra copies to Trash)
  large-files [--path <dir>] [--threshold <MB>] [--age <days>] [--apply] [--json]
      Find (and with --apply, delete) large/old files
  delete [--json] <path>...
      Move one or more paths to the Trash (recoverable)
  history [--path <dir>] [--json]
      List the recorded removals and which of their items are still in the Trash
  restore [--dry-run] [--to <dir>] [--json] <run-id> | <path>...
      Put items back from the Trash where they were (never overwrites)
  diff [--dry-run] [--older <days>] [--json]
      Print the Git-style deletion preview to stdout
  version
      Show the version
  help
      Show this help

OPTIONS
  -q, --quiet
      Draw no live progress line
  --progress
      Draw the live progress line whenever standard error is a terminal

All deletions move items to the macOS Trash (recoverable).
)";

// The messages themselves are unit-tested; here, how a command line reaches the user, every form
// of the help, and colour on a terminal unless NO_COLOR is set.
TEST(Cli, HelpVersionRejectedCommandLinesAndColour) {
  const TempDir home;
  const struct {
    std::vector<std::string> args;
    std::string out, err;  // the run fails exactly when it writes to stderr
  } cases[] = {
      {{}, kHelp, ""},
      {{"help"}, kHelp, ""},
      {{"help", "more"}, kHelp, ""},
      {{"-h"}, kHelp, ""},
      {{"--help"}, kHelp, ""},
      {{"version"}, "orvc " ORVC_PROJECT_VERSION "\n", ""},
      {{"--version"}, "orvc " ORVC_PROJECT_VERSION "\n", ""},
      {{"Scan"}, kHelp, "Error: Unknown command: Scan\n\n"},
      {{"scan", "\xff\xfe-x"}, kHelp, "Error: Unknown flag: \xff\xfe-x\n\n"},  // as its bytes
      {{"diff", "--older"}, kHelp, "Error: --older requires a number of days\n\n"},
      {{"restore", "x", "--to"}, kHelp, "Error: --to requires a directory argument\n\n"},
      {{"restore", "x", "--force"}, kHelp, "Error: Unknown flag for restore: --force\n\n"},
      {{"history", "--path"}, kHelp, "Error: --path requires a directory argument\n\n"},
  };
  // Without NO_COLOR: a pipe alone keeps the text plain.
  ProcessOptions piped = orvc_options(home.path());
  piped.env.erase("NO_COLOR");
  for (const auto& c : cases) {
    const auto r = run_program(orvc_command(c.args), piped);
    EXPECT_EQ(std::tie(r.exit_code, r.out, r.err), std::tuple(c.err.empty() ? 0 : 1, c.out, c.err))
        << ::testing::PrintToString(c.args);
  }
  ProcessOptions terminal = piped;
  terminal.stdout_is_terminal = true;
  auto r = run_program({ORVC_BINARY, "help"}, terminal);
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_NE(r.out.find("\x1b[1mOrvanta — headless CLI\x1b[0m"), std::string::npos);
  EXPECT_NE(r.out.find("  \x1b[36mhelp\x1b[0m"), std::string::npos);
  r = run_program({ORVC_BINARY, "bogus"}, terminal);
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_TRUE(r.out.starts_with("\x1b[31mError:\x1b[0m Unknown command: bogus")) << r.out;
  terminal.env["NO_COLOR"] = "";
  EXPECT_EQ(run_program({ORVC_BINARY, "help"}, terminal).out.find('\x1b'), std::string::npos);
}

}  // namespace
}  // namespace orvc::testing
