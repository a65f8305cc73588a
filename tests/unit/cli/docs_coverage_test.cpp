// The manual page and the shell completions name every command, alias and flag of the command
// and output-flag tables, and the completions parse. (The help prints the tables themselves.)
#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <sstream>
#include <string>
#include <vector>

#include "cli/command_table.hpp"
#include "cli/output_options.hpp"
#include "support/run_process.hpp"
#include "support/temp_home.hpp"

namespace orvc::cli {
namespace {

// `word` with no letter, digit or dash right before or after it.
bool has_word(const std::string& text, const std::string& word) {
  const auto word_char = [&text](size_t at) {  // before the start, `at` wraps past the end
    return at < text.size() &&
           (std::isalnum(static_cast<unsigned char>(text[at])) || text[at] == '-');
  };
  for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1))
    if (!word_char(at - 1) && !word_char(at + word.size())) return true;
  return false;
}

TEST(DocsCoverage, EveryCommandAliasAndFlagIsDocumentedAndTheCompletionsParse) {
  std::vector<std::string> words;
  for (const CommandEntry& row : command_table()) {
    words.emplace_back(row.name);
    words.insert(words.end(), row.aliases.begin(), row.aliases.end());
    std::istringstream synopsis{std::string(row.synopsis)};
    for (std::string word; synopsis >> word;)
      if (word.starts_with("[-")) words.push_back(word.substr(1, word.find_first_of(" ]") - 1));
  }
  for (const OutputFlag& flag : output_flag_table())
    words.insert(words.end(), flag.words.begin(), flag.words.end());
  // How a file spells a command or a flag: mdoc "Cm scan", "Fl -json"; fish "-l json".
  using Spelling = std::string (*)(const std::string&);
  const Spelling mdoc = [](const std::string& w) {
    return (w[0] == '-' ? "Fl " : "Cm ") + w.substr(w[0] == '-');
  };
  const Spelling fish = [](const std::string& w) {
    const size_t dashes = w.find_first_not_of('-');
    return std::array{"", "-s ", "-l "}[dashes] + w.substr(dashes);
  };
  const Spelling plain = [](const std::string& w) { return w; };
  const struct {
    const char* file;
    Spelling spelled;
    std::vector<std::string> parse;  // skipped where the program is not installed
  } documents[] = {{"docs/orvc.1", mdoc, {"mandoc", "-T", "lint", "-W", "warning"}},
                   {"completions/orvc.bash", plain, {"bash", "-n"}},
                   {"completions/_orvc", plain, {"zsh", "-n"}},
                   {"completions/orvc.fish", fish, {"fish", "--no-execute"}}};
  for (auto [file, spelled, parse] : documents) {
    const std::string path = ORVC_SOURCE_DIR "/" + std::string(file);
    const std::string text = testing::read_file(path);
    for (const std::string& word : words)
      EXPECT_TRUE(has_word(text, spelled(word))) << file << " lacks " << word;
    parse.push_back(path);
    const auto r = testing::run_program(parse, {});
    if (r.exit_code == 127 && r.err.empty()) continue;  // not installed
    EXPECT_EQ(std::to_string(r.exit_code) + r.out + r.err, "0") << parse.front();
  }
}

}  // namespace
}  // namespace orvc::cli
