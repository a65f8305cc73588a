// The command line end to end: help, rejected command lines, colour switch.
#include <gtest/gtest.h>

#include "support/run_process.hpp"
#include "support/temp_home.hpp"

namespace orvc::testing {
namespace {

const std::string kHelp =
    "Orvanta — headless CLI\n"
    "\n"
    "USAGE\n"
    "  orvc <command> [options]\n"
    "\n"
    "COMMANDS\n"
    "  dev-junk [--dry-run] [--apply] [--older <days>] [--json]\n"
    "      Scan (and optionally clean) developer junk (Docker.raw, Node/Xcode/Python)\n"
    "  scan [--path <dir>] [--json]\n"
    "      Fast parallel disk-usage sweep of a directory\n"
    "  duplicates [--path <dir>] [--dry-run] [--apply] [--include-tracked] [--json]\n"
    "      Find exact-duplicate files under a directory (with --apply, move the extra copies to "
    "Trash)\n"
    "  large-files [--path <dir>] [--threshold <MB>] [--age <days>] [--apply] [--json]\n"
    "      Find (and with --apply, delete) large/old files\n"
    "  delete [--json] <path>...\n"
    "      Move one or more paths to the Trash (recoverable)\n"
    "  history [--path <dir>] [--json]\n"
    "      List the recorded removals and which of their items are still in the Trash\n"
    "  restore [--dry-run] [--to <dir>] [--json] <run-id> | <path>...\n"
    "      Put items back from the Trash where they were (never overwrites)\n"
    "  diff [--dry-run] [--older <days>] [--json]\n"
    "      Print the Git-style deletion preview to stdout\n"
    "  version\n"
    "      Show the version\n"
    "  help\n"
    "      Show this help\n"
    "\n"
    "OPTIONS\n"
    "  -q, --quiet\n"
    "      Draw no live progress line\n"
    "  --progress\n"
    "      Draw the live progress line whenever standard error is a terminal\n"
    "\n"
    "All deletions move items to the macOS Trash (recoverable).\n";

// The messages themselves are unit-tested; here, how a command line reaches the user, and every
// form of the help.
TEST(Cli, HelpVersionAndRejectedCommandLines) {
  const TempDir home;
  const struct {
    std::vector<std::string> args;
    int exit_code;
    std::string out, err;
  } cases[] = {
      {{}, 0, kHelp, ""},
      {{"help"}, 0, kHelp, ""},
      {{"help", "more"}, 0, kHelp, ""},
      {{"-h"}, 0, kHelp, ""},
      {{"--help"}, 0, kHelp, ""},
      {{"version"}, 0, "orvc " ORVC_PROJECT_VERSION "\n", ""},
      {{"--version"}, 0, "orvc " ORVC_PROJECT_VERSION "\n", ""},
      {{"Scan"}, 1, kHelp, "Error: Unknown command: Scan\n\n"},
      {{"scan", "\xff\xfe-x"}, 1, kHelp, "Error: Unknown flag: \xff\xfe-x\n\n"},  // as its bytes
      {{"delete"}, 1, kHelp, "Error: delete requires at least one path argument\n\n"},
      {{"diff", "--older"}, 1, kHelp, "Error: --older requires a number of days\n\n"},
      {{"restore", "x", "--to"}, 1, kHelp, "Error: --to requires a directory argument\n\n"},
      {{"restore", "x", "--force"}, 1, kHelp, "Error: Unknown flag for restore: --force\n\n"},
      {{"history", "--path"}, 1, kHelp, "Error: --path requires a directory argument\n\n"},
  };
  // Without NO_COLOR: a pipe alone keeps the text plain.
  ProcessOptions piped = orvc_options(home.path());
  piped.env.erase("NO_COLOR");
  for (const auto& c : cases) {
    const auto r = run_program(orvc_command(c.args), piped);
    EXPECT_EQ(r.exit_code, c.exit_code) << ::testing::PrintToString(c.args);
    EXPECT_EQ(r.out, c.out) << ::testing::PrintToString(c.args);
    EXPECT_EQ(r.err, c.err);
  }
}

TEST(Cli, ColourOnATerminalUnlessNoColor) {
  const TempDir home;
  ProcessOptions terminal;
  terminal.env = {{"HOME", home.path()}};
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
