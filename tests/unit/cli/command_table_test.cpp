#include "cli/command_table.hpp"

#include <gtest/gtest.h>

#include <set>

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
  EXPECT_EQ(find_command("rm"), find_command("delete"));
  EXPECT_EQ(find_command("Delete"), nullptr);
}

TEST(CommandTable, RestoreFlagsGoEitherSideOfItsTargets) {
  const testing::ScopedEnv home("HOME", "/Users/u");
  const std::vector<std::vector<std::string>> same = {
      {"restore", "--to", "~/out", "a", "--dry-run", "b"},
      {"restore", "a", "b", "--dry-run", "--to", "/Users/u/out"},
      {"restore", "--dry-run", "a", "--to", "~/out", "b"},
  };
  for (const auto& args : same) {
    const auto parsed = parse_command(args);
    ASSERT_TRUE(parsed) << parsed.error();
    const auto& restore = std::get<Restore>(*parsed);
    EXPECT_EQ(restore.targets, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(restore.to, "/Users/u/out");
    EXPECT_TRUE(restore.dry_run);
  }
  const auto dashed = parse_command({"restore", "--", "--dry-run", "-x"});
  ASSERT_TRUE(dashed);
  EXPECT_EQ(std::get<Restore>(*dashed).targets, (std::vector<std::string>{"--dry-run", "-x"}));
  EXPECT_FALSE(std::get<Restore>(*dashed).dry_run);
  EXPECT_EQ(std::get<History>(*parse_command({"history", "--path", "~/p"})).path, "/Users/u/p");
}

}  // namespace
}  // namespace orvc::cli
