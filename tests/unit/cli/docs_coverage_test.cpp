// The manual page and the shell completions name every command, alias and flag of the command
// table, each flag where its own command is described. (The help prints the table itself.)
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/command_table.hpp"
#include "support/run_process.hpp"

namespace orvc::cli {
namespace {

using Lines = std::vector<std::string>;
constexpr auto npos = std::string::npos;

Lines source(const std::string& relative) {
  std::ifstream in(ORVC_SOURCE_DIR "/" + relative);
  EXPECT_TRUE(in) << relative;
  Lines lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// `word` with no letter, digit or dash right before or after it.
bool has_word(const std::string& text, const std::string& word) {
  const auto part_of_word = [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-';
  };
  for (size_t at = text.find(word); at != npos; at = text.find(word, at + 1)) {
    const size_t end = at + word.size();
    if ((at == 0 || !part_of_word(text[at - 1])) &&
        (end == text.size() || !part_of_word(text[end])))
      return true;
  }
  return false;
}

// Where a document offers a command's name and aliases, and where it gives the command's flags.
struct Places {
  std::string names;
  std::string flags;
};

Places man_places(const Lines& lines, const std::string& command) {
  Places places;
  bool inside = false;
  for (const auto& line : lines) {
    if (line.starts_with(".It Cm ") || line.starts_with(".Sh ")) {
      inside = (line + " ").starts_with(".It Cm " + command + " ");
    }
    if (inside) places.flags = places.names += line + "\n";
  }
  return places;
}

// bash and zsh: the commands are offered before the first `case`; each command's flags are in
// the branches whose labels name it.
Places shell_places(const Lines& lines, const std::string& command) {
  Places places;
  bool offering = true;
  bool inside = false;
  for (const auto& line : lines) {
    const std::string text = line.substr(std::min(line.find_first_not_of(' '), line.size()));
    offering = offering && !text.starts_with("case ");
    if (offering) places.names += line + "\n";
    // "scan)" or "delete | rm)"; not "--path | --to)", "*)" or code.
    const std::string labels = text.substr(0, text.find(')'));
    if (labels.size() < text.size() && !labels.empty() && labels.find_first_of("-| ") != 0 &&
        labels.find_first_not_of("abcdefghijklmnopqrstuvwxyz-| ") == npos) {
      inside = has_word(labels, command);
    }
    if (inside) places.flags += line + "\n";
    if (text.find(";;") != npos) inside = false;
  }
  return places;
}

Places fish_places(const Lines& lines, const std::string& command) {
  Places places;
  for (const auto& line : lines) {
    const size_t at = line.find("__fish_seen_subcommand_from ");
    if (at == npos) continue;
    if (line.find("not __fish_seen_subcommand_from") != npos) {
      places.names += line + "\n";
    } else if (has_word(line.substr(at, line.find('\'', at) - at), command)) {
      places.flags += line + "\n";
    }
  }
  return places;
}

// The flags of a synopsis such as "restore [--dry-run] [--to <dir>] <run-id> | <path>...".
std::vector<std::string> flags_of(std::string synopsis) {
  std::ranges::replace_if(
      synopsis, [](char c) { return c == '[' || c == ']' || c == '|'; }, ' ');
  std::vector<std::string> flags;
  std::istringstream words{synopsis};
  for (std::string word; words >> word;) {
    if (word.starts_with("-")) flags.push_back(word);
  }
  return flags;
}

TEST(DocsCoverage, EveryCommandAliasAndFlagOfTheTableIsDocumented) {
  struct Document {
    const char* file;
    Places (*places)(const Lines&, const std::string& command);
    std::string (*spelled)(const std::string& word);
  };
  const auto as_written = [](const std::string& word) { return word; };
  const auto in_mdoc = [](const std::string& word) {
    return word.starts_with("-") ? "Fl " + word.substr(1) : "Cm " + word;
  };
  const auto in_fish = [](const std::string& word) {
    return (word.starts_with("--")  ? "-l "
            : word.starts_with("-") ? "-s "
                                    : "-a ") +
           word.substr(word.find_first_not_of('-'));
  };
  const Document documents[] = {{"docs/orvc.1", man_places, in_mdoc},
                                {"completions/orvc.bash", shell_places, as_written},
                                {"completions/_orvc", shell_places, as_written},
                                {"completions/orvc.fish", fish_places, in_fish}};
  for (const Document& document : documents) {
    const Lines lines = source(document.file);
    for (const CommandEntry& row : command_table()) {
      const std::string command(row.name);
      const Places places = document.places(lines, command);
      std::vector<std::string> names{command};
      names.insert(names.end(), row.aliases.begin(), row.aliases.end());
      for (const std::string& name : names) {
        EXPECT_TRUE(has_word(places.names, document.spelled(name)))
            << document.file << " does not offer " << name;
      }
      for (const std::string& flag : flags_of(std::string(row.synopsis))) {
        EXPECT_TRUE(has_word(places.flags, document.spelled(flag)))
            << document.file << " does not give " << command << " the flag " << flag;
      }
    }
  }
}

TEST(DocsCoverage, CompletionsParseAndTheManualPageLintsClean) {
  const std::vector<std::vector<std::string>> checks = {
      {"bash", "-n", ORVC_SOURCE_DIR "/completions/orvc.bash"},
      {"zsh", "-n", ORVC_SOURCE_DIR "/completions/_orvc"},
      {"fish", "--no-execute", ORVC_SOURCE_DIR "/completions/orvc.fish"},
      {"mandoc", "-T", "lint", "-W", "warning", ORVC_SOURCE_DIR "/docs/orvc.1"},
  };
  std::string missing;
  for (const auto& argv : checks) {
    const auto r = testing::run_program(argv, {});
    if (r.exit_code == 127 && r.err.empty()) {  // not installed
      missing += " " + argv.front();
      continue;
    }
    EXPECT_EQ(r.exit_code, 0) << argv.front();
    EXPECT_EQ(r.out + r.err, "") << argv.front();
  }
  if (!missing.empty()) GTEST_SKIP() << "not installed (scripts/install-deps test):" << missing;
}

}  // namespace
}  // namespace orvc::cli
