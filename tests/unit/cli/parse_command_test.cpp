#include <gtest/gtest.h>
#include <stdlib.h>

#include "cli/command.hpp"

namespace orvc::cli {
namespace {

class ParseCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* home = getenv("HOME");
    saved_home_ = home ? std::optional<std::string>(home) : std::nullopt;
    setenv("HOME", "/Users/u", 1);
  }
  void TearDown() override {
    if (saved_home_) {
      setenv("HOME", saved_home_->c_str(), 1);
    } else {
      unsetenv("HOME");
    }
  }
  static std::string error_of(std::vector<std::string> args) {
    auto parsed = parse_command(args);
    return parsed ? std::string("<accepted>") : parsed.error();
  }
  std::optional<std::string> saved_home_;
};

TEST_F(ParseCommand, HelpForms) {
  for (auto args : std::vector<std::vector<std::string>>{{}, {"help"}, {"-h", "x"}, {"--help"}}) {
    auto parsed = parse_command(args);
    ASSERT_TRUE(parsed);
    EXPECT_TRUE(std::holds_alternative<Help>(*parsed));
  }
}

TEST_F(ParseCommand, PathOptionExpandsTildeAndLastOneWins) {
  auto parsed = parse_command({"scan", "--path", "~/a", "--path", "~/b"});
  ASSERT_TRUE(parsed);
  EXPECT_EQ(std::get<Scan>(*parsed).path, "/Users/u/b");
  parsed = parse_command({"duplicates"});
  ASSERT_TRUE(parsed);
  EXPECT_EQ(std::get<Duplicates>(*parsed).path, "/Users/u");
  parsed = parse_command({"scan", "--path", "~user/x"});
  EXPECT_EQ(std::get<Scan>(*parsed).path, "~user/x");
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
  EXPECT_EQ(std::get<LargeFiles>(*parse_command({"large-files"})).path, "");
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
  }
}

TEST_F(ParseCommand, RejectedCommandLines) {
  EXPECT_EQ(error_of({"scan", "--path"}), "--path requires a directory argument");
  EXPECT_EQ(error_of({"scan", "-p"}), "Unknown flag: -p");
  EXPECT_EQ(error_of({"large-files", "--threshold"}), "--threshold requires a size in MB");
  EXPECT_EQ(error_of({"large-files", "--age"}), "--age requires a number of days");
  EXPECT_EQ(error_of({"large-files", "--path"}), "--path requires a directory argument");
  EXPECT_EQ(error_of({"large-files", "-x"}), "Unknown flag for large-files: -x");
  EXPECT_EQ(error_of({"dev-junk", "--force"}), "Unknown flag for dev-junk: --force");
  EXPECT_EQ(error_of({"delete"}), "delete requires at least one path argument");
  EXPECT_EQ(error_of({"diff", "--apply"}), "Unknown flag for diff: --apply");
  EXPECT_EQ(error_of({"Scan"}), "Unknown command: Scan");
  // Parsing stops at the first fault.
  EXPECT_EQ(error_of({"scan", "-a", "-b"}), "Unknown flag: -a");
}

TEST_F(ParseCommand, DeleteTakesEveryArgumentAsAPath) {
  auto parsed = parse_command({"rm", "--apply", "~/x", "--"});
  ASSERT_TRUE(parsed);
  EXPECT_EQ(std::get<Delete>(*parsed).paths,
            (std::vector<std::string>{"--apply", "/Users/u/x", "--"}));
  EXPECT_TRUE(std::get<DevJunk>(*parse_command({"dev-junk", "--dry-run", "--apply"})).apply);
  EXPECT_TRUE(std::holds_alternative<Diff>(*parse_command({"diff", "--dry-run", "--dry-run"})));
}

TEST_F(ParseCommand, WithoutAnyHomeTildeStaysLiteralAndScanUsesDot) {
  unsetenv("HOME");
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
