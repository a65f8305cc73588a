// Checks the matcher against real Git on generated patterns and paths. The generator leaves out
// the points where this matcher's rules knowingly differ from Git's:
// - rules ending in "/" (never decide here);
// - "**" next to anything but "/" (Git treats it as "*"), and backslash escapes other than "\#";
// - "]" as the first class member and unterminated "[" (Git: no match at all);
// - non-ASCII text (Git compares bytes) and trailing tabs (Git keeps them);
// - with negations, a path below a folder that some rule matches: here the last rule matching
//   the path or a folder above it decides; Git never re-includes a file below an excluded
//   folder, and a negated folder does not re-include what a rule matched inside it.
#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "gitignore/gitignore.hpp"
#include "support/run_process.hpp"
#include "support/temp_home.hpp"

namespace orvc::gitignore {
namespace {

struct Generator {
  std::string pattern() {
    std::string pattern = chance(20) ? "!" : "";
    if (chance(20)) pattern += "/";
    bool last_was_double_star = false;
    for (int i = 0, segments = number(1, 3); i < segments; ++i) {
      if (i > 0) pattern += "/";
      last_was_double_star = !last_was_double_star && chance(15);
      pattern += last_was_double_star ? "**"
                                      : pick({"a", "b", "ab", "tmp", "*", "a*", "*.txt", "?",
                                              "[ab]", "[!a]*", "[a-c]*", "*b", "x.log"});
    }
    return chance(10) ? pattern + " " : pattern;
  }
  std::string path() {
    std::string path;
    for (int depth = number(0, 3); depth > 0; --depth)
      path += pick({"a", "b", "ab", "tmp", "c"}) + "/";
    return path + pick({"a", "b.txt", "ab", "x.log", "tmp", "c.txt"});
  }
  int number(int from, int to) { return std::uniform_int_distribution<int>(from, to)(random_); }

  bool chance(int percent) { return number(0, 99) < percent; }
  std::string pick(const std::vector<std::string>& from) {
    return from[number(0, static_cast<int>(from.size()) - 1)];
  }
  std::mt19937 random_{20240611};
};

// Git run in `folder`, which is also its HOME, without the system configuration.
testing::ProcessResult git(std::vector<std::string> args, const std::string& folder) {
  args.insert(args.begin(), "git");
  return testing::run_program(
      args, {.env = {{"HOME", folder}, {"GIT_CONFIG_NOSYSTEM", "1"}}, .working_dir = folder});
}

// Git's verdicts, one per path, from `git check-ignore --no-index -v -n`: lines
// "<source>:<line>:<pattern>\t<path>", or "::\t<path>" when nothing matched.
std::vector<bool> git_verdicts(const std::string& repo, const std::vector<std::string>& paths) {
  std::vector<std::string> args = {"check-ignore", "--no-index", "-v", "-n"};
  args.insert(args.end(), paths.begin(), paths.end());
  const auto result = git(args, repo);
  std::vector<bool> verdicts;
  std::istringstream lines(result.out);
  for (std::string line; std::getline(lines, line);)
    verdicts.push_back(line.front() != ':' && line[line.find(':', line.find(':') + 1) + 1] != '!');
  EXPECT_EQ(verdicts.size(), paths.size()) << result.err;
  return verdicts;
}

bool rule_matches_folder_above(std::vector<IgnoreFile> files, const std::string& repo,
                               const std::string& relative) {
  for (auto& file : files)
    for (auto& rule : file.rules) rule.negated = false;
  for (size_t slash = relative.find('/'); slash != std::string::npos;
       slash = relative.find('/', slash + 1))
    if (is_ignored(files, repo + "/" + relative.substr(0, slash))) return true;
  return false;
}

TEST(GitCrossCheck, GeneratedPatternsAgreeWithGitCheckIgnore) {
  testing::TempDir dir;
  const std::string repo = dir / "repo";
  const auto init = git({"init", "-q", repo}, dir.path());
  ASSERT_EQ(init.exit_code, 0) << init.err;
  Generator generate;
  int compared = 0;
  for (int round = 0; round < 60; ++round) {
    std::string text;
    for (int i = generate.number(1, 4); i > 0; --i) text += generate.pattern() + "\n";
    const bool has_negation = text.front() == '!' || text.find("\n!") != std::string::npos;
    testing::write_file(repo + "/.gitignore", text);
    auto context = load_gitignore_context(repo);
    ASSERT_TRUE(context);
    std::vector<std::string> paths;
    for (int i = 0; i < 60; ++i) paths.push_back(generate.path());
    const auto verdicts = git_verdicts(repo, paths);
    ASSERT_EQ(verdicts.size(), paths.size());
    for (size_t i = 0; i < paths.size(); ++i) {
      if (has_negation && rule_matches_folder_above(context->files, repo, paths[i])) continue;
      ++compared;
      EXPECT_EQ(is_ignored(context->files, repo + "/" + paths[i]), verdicts[i])
          << "rules:\n"
          << text << "path: " << paths[i];
    }
  }
  EXPECT_GT(compared, 2500);
}

}  // namespace
}  // namespace orvc::gitignore
