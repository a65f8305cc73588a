#include <gtest/gtest.h>

#include "cli/command.hpp"
#include "support/scoped_env.hpp"

namespace orvc::cli {
namespace {

class ParseCommand : public ::testing::Test {
 protected:
  static std::string error_of(std::vector<std::string> args) {
    auto parsed = parse_command(args);
    return parsed ? std::string("<accepted>") : parsed.error();
  }
  testing::ScopedEnv home_{"HOME", "/Users/u"};
};

TEST_F(ParseCommand, HelpForms) {
  for (auto args : std::vector<std::vector<std::string>>{{}, {"help"}, {"-h", "x"}, {"--help"}}) {
    auto parsed = parse_command(args);
    ASSERT_TRUE(parsed);
    EXPECT_TRUE(std::holds_alternative<Help>(*parsed));
  }
}

TEST_F(ParseCommand, PathOptionExpandsTildeAndLastOneWins) {
  EXPECT_EQ(std::get<Scan>(*parse_command({"scan", "--path", "~/a", "--path", "~/b"})).path,
            "/Users/u/b");
  EXPECT_EQ(std::get<Duplicates>(*parse_command({"duplicates"})).path, "/Users/u");
  EXPECT_EQ(std::get<Scan>(*parse_command({"scan", "--path", "~user/x"})).path, "~user/x");
}

TEST_F(ParseCommand, LargeFilesNumbersAndFlags) {
  auto parsed = parse_command(
      {"large-files", "--threshold", "+12", "--age", "30", "--apply", "--dry-run", "--path", "~"});
  ASSERT_TRUE(parsed);
  const auto& large = std::get<LargeFiles>(*parsed);
  EXPECT_EQ(large.threshold_mb, 12u);
  EXPECT_EQ(large.age_days, 30u);
  EXPECT_FALSE(large.apply);
  EXPECT_EQ(large.path, "/Users/u");
  const auto defaults = std::get<LargeFiles>(*parse_command({"large-files"}));
  EXPECT_EQ(defaults.path, "");
  EXPECT_EQ(defaults.threshold_mb, 100u);
  EXPECT_EQ(
      std::get<LargeFiles>(*parse_command({"large-files", "--threshold", "18446744073709551615"}))
          .threshold_mb,
      UINT64_MAX);
}

TEST_F(ParseCommand, RejectedNumbers) {
  for (const char* bad : {"12MB", "-1", "+", "", "1e3", " 1", "18446744073709551616"}) {
    EXPECT_EQ(error_of({"large-files", "--threshold", bad}),
              std::string("--threshold must be a number (MB), got: ") + bad);
    EXPECT_EQ(error_of({"large-files", "--age", bad}),
              std::string("--age must be a number (days), got: ") + bad);
    for (const char* command : {"dev-junk", "diff"}) {
      EXPECT_EQ(error_of({command, "--older", bad}),
                std::string("--older must be a number (days), got: ") + bad);
    }
  }
}

TEST_F(ParseCommand, RejectedCommandLines) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"scan", "--path"}, "--path requires a directory argument"},
      {{"scan", "-p"}, "Unknown flag: -p"},
      {{"duplicates", "--apply", "--force"}, "Unknown flag: --force"},
      {{"duplicates", "--path"}, "--path requires a directory argument"},
      {{"large-files", "--threshold"}, "--threshold requires a size in MB"},
      {{"large-files", "--age"}, "--age requires a number of days"},
      {{"large-files", "--path"}, "--path requires a directory argument"},
      {{"large-files", "-x"}, "Unknown flag for large-files: -x"},
      {{"dev-junk", "--force"}, "Unknown flag for dev-junk: --force"},
      {{"dev-junk", "--apply", "--older"}, "--older requires a number of days"},
      {{"delete"}, "delete requires at least one path argument"},
      {{"diff", "--apply"}, "Unknown flag for diff: --apply"},
      {{"Scan"}, "Unknown command: Scan"},
      {{"scan", "-a", "-b"}, "Unknown flag: -a"},  // parsing stops at the first fault
      {{"--version", "x"}, "Unknown flag for version: x"},
      {{"-V"}, "Unknown command: -V"},
  };
  for (const auto& [args, message] : cases) EXPECT_EQ(error_of(args), message);
}

TEST_F(ParseCommand, DeleteTakesEveryArgumentAsAPath) {
  EXPECT_EQ(std::get<Delete>(*parse_command({"rm", "--apply", "~/x", "--"})).paths,
            (std::vector<std::string>{"--apply", "/Users/u/x", "--"}));
  EXPECT_TRUE(std::get<DevJunk>(*parse_command({"dev-junk", "--dry-run", "--apply"})).apply);
  const auto dups = std::get<Duplicates>(
      *parse_command({"duplicates", "--apply", "--include-tracked", "--dry-run"}));
  EXPECT_FALSE(dups.apply);
  EXPECT_TRUE(dups.include_tracked);
  EXPECT_TRUE(std::holds_alternative<Diff>(*parse_command({"diff", "--dry-run", "--dry-run"})));
}

// --json anywhere among a command's flags; for delete only before the first path.
TEST_F(ParseCommand, JsonFlag) {
  const std::vector<std::string> asks[] = {
      {"scan", "--json", "--path", "x"},    {"duplicates", "--path", "x", "--json"},
      {"large-files", "--apply", "--json"}, {"dev-junk", "--json", "--dry-run"},
      {"diff", "--dry-run", "--json"},      {"history", "--json"},
      {"restore", "abc", "--json"},         {"delete", "--json", "x"},
  };
  const auto format = [](const Command& command) {
    return std::visit(
        [](const auto& c) {
          if constexpr (requires { c.format; }) return c.format;
          return ReportFormat::Text;
        },
        command);
  };
  for (const auto& args : asks) {
    EXPECT_EQ(format(parse_command(args).value()), ReportFormat::Json) << args.front();
    std::vector<std::string> without = args;
    std::erase(without, "--json");
    EXPECT_EQ(format(parse_command(without).value()), ReportFormat::Text) << args.front();
  }
  EXPECT_EQ(std::get<Delete>(*parse_command({"rm", "x", "--json"})).paths,
            (std::vector<std::string>{"x", "--json"}));
  EXPECT_EQ(error_of({"delete", "--json"}), "delete requires at least one path argument");
  EXPECT_EQ(std::get<Restore>(*parse_command({"restore", "--", "--json"})).targets,
            std::vector<std::string>{"--json"});
}

TEST_F(ParseCommand, OutputFlagsGoBeforeTheCommandOrAmongItsFlagsAndTheLastOneWins) {
  const std::pair<std::vector<std::string>, std::optional<bool>> cases[] = {
      {{"scan"}, std::nullopt},
      {{"scan", "-q"}, false},
      {{"--quiet", "duplicates", "--progress"}, true},
      {{"--progress", "large-files", "--apply", "-q"}, false},
      {{"-q", "restore", "--progress", "a"}, true},
      {{"dev-junk", "--quiet"}, false},
      {{"diff", "--progress"}, true},
  };
  for (const auto& [args, progress] : cases) {
    EXPECT_EQ(output_options_of(*parse_command(args)).progress, progress) << args.front();
  }
  // After the command's name, delete takes everything as a path, and a flag's value stays one.
  const auto quiet_delete = std::get<Delete>(*parse_command({"-q", "rm", "-q"}));
  EXPECT_EQ(quiet_delete.paths, std::vector<std::string>{"-q"});
  EXPECT_EQ(quiet_delete.output.progress, false);
  EXPECT_EQ(std::get<Scan>(*parse_command({"scan", "--path", "-q"})).path, "-q");
  EXPECT_TRUE(std::holds_alternative<Help>(*parse_command({"-q"})));
  EXPECT_EQ(error_of({"history", "-q"}), "Unknown flag for history: -q");
}

TEST(OutputOptions, TheProgressLineIsForTerminalsAndMachineReadableOutputOnlyWhenAsked) {
  const OutputOptions plain, quiet{false, false}, json{std::nullopt, true}, forced{true, true};
  EXPECT_TRUE(wants_progress(plain, true));
  EXPECT_FALSE(wants_progress(plain, false));
  EXPECT_FALSE(wants_progress(quiet, true));
  EXPECT_FALSE(wants_progress(json, true));
  EXPECT_TRUE(wants_progress(forced, true));
  EXPECT_FALSE(wants_progress(forced, false));
}

TEST_F(ParseCommand, OlderTakesDaysOnDevJunkAndDiff) {
  EXPECT_FALSE(std::get<DevJunk>(*parse_command({"dev-junk", "--apply"})).older_days);
  EXPECT_EQ(std::get<DevJunk>(*parse_command({"dev-junk", "--older", "7"})).older_days, 7u);
  EXPECT_EQ(std::get<Diff>(*parse_command({"diff", "--older", "+0", "--dry-run"})).older_days, 0u);
}

TEST_F(ParseCommand, WithoutAnyHomeTildeStaysLiteralAndScanUsesDot) {
  const testing::ScopedEnv no_home("HOME", std::nullopt);
  // The password database may still know a home folder; only check the literal form when not.
  if (expand_tilde("~") == "~") {
    EXPECT_EQ(std::get<Scan>(*parse_command({"scan"})).path, ".");
    EXPECT_EQ(expand_tilde("~/x"), "~/x");
  } else {
    EXPECT_NE(expand_tilde("~/x"), "~/x");
  }
}

}  // namespace
}  // namespace orvc::cli
