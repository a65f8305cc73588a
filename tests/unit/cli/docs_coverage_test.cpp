// The help, the manual page and the shell completions name every command, alias and flag of the
// command table, each flag where its own command is described.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "cli/command_table.hpp"
#include "support/run_process.hpp"
#include "support/scoped_env.hpp"

namespace orvc::cli {
namespace {

using Lines = std::vector<std::string>;

Lines lines_of(const std::string& text) {
  Lines lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

Lines source_lines(const std::string& relative) {
  std::ifstream in(std::string(ORVC_SOURCE_DIR) + "/" + relative);
  EXPECT_TRUE(in) << relative;
  std::stringstream text;
  text << in.rdbuf();
  return lines_of(text.str());
}

std::string trimmed(std::string_view text) {
  const auto begin = text.find_first_not_of(" \t");
  if (begin == std::string_view::npos) return {};
  return std::string(text.substr(begin, text.find_last_not_of(" \t") - begin + 1));
}

bool is_word_char(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_';
}

// `word` with no word character right before or after it.
bool has_word(const std::string& text, const std::string& word) {
  for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) {
    const size_t end = at + word.size();
    if ((at == 0 || !is_word_char(text[at - 1])) &&
        (end == text.size() || !is_word_char(text[end])))
      return true;
  }
  return false;
}

// The flags of a synopsis such as "restore [--dry-run] [--to <dir>] <run-id> | <path>...".
std::vector<std::string> flags_of(std::string_view synopsis) {
  std::vector<std::string> flags;
  std::string token;
  for (const char c : std::string(synopsis) + " ") {
    if (c != ' ' && c != '[' && c != ']' && c != '|') {
      token += c;
      continue;
    }
    if (token.starts_with("-")) flags.push_back(token);
    token.clear();
  }
  return flags;
}

// Lines from the first that `starts` picks up to the next that `ends` picks (not included).
std::string block(const Lines& lines, const std::function<bool(const std::string&)>& starts,
                  const std::function<bool(const std::string&)>& ends) {
  std::string out;
  bool inside = false;
  for (const std::string& line : lines) {
    if (inside && ends(line)) break;
    inside = inside || starts(line);
    if (inside) out += line + "\n";
  }
  return out;
}

// Every branch of a shell `case` whose labels include `name`, each up to its ";;".
std::string case_branches(const Lines& lines, const std::string& name) {
  std::string out;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string line = trimmed(lines[i]);
    const std::string labels = line.substr(0, line.find(')'));
    // "scan)" or "delete | rm)"; not "--path | --to)", "*)" or code.
    constexpr std::string_view kLetters = "abcdefghijklmnopqrstuvwxyz";
    const bool is_label_line =
        labels.size() < line.size() && !labels.empty() && kLetters.contains(labels[0]) &&
        labels.find_first_not_of("abcdefghijklmnopqrstuvwxyz-| ") == std::string::npos;
    if (!is_label_line || !has_word(labels, name)) continue;
    for (size_t j = i; j < lines.size(); ++j) {
      out += lines[j] + "\n";
      if (lines[j].find(";;") != std::string::npos) break;
    }
  }
  return out;
}

std::string before_first_case(const Lines& lines) {
  return block(
      lines, [](const std::string&) { return true; },
      [](const std::string& line) { return trimmed(line).starts_with("case "); });
}

struct Document {
  std::string name;
  Lines lines;
  // Where the command `name` and its flags are described.
  std::function<std::string(const Lines&, const std::string& name)> section;
  // Where the command's name and aliases must be offered (the help lists no aliases).
  std::function<std::string(const Lines&, const std::string& name)> names_scope;
  // How the document writes a command word or a flag.
  std::function<std::string(const std::string& word)> spelled;
};

std::string as_is(const std::string& word) {
  return word;
}

std::string man_section(const Lines& lines, const std::string& name) {
  return block(
      lines,
      [&](const std::string& line) {
        return line == ".It Cm " + name || line.starts_with(".It Cm " + name + " ");
      },
      [](const std::string& line) {
        return line.starts_with(".It Cm ") || line.starts_with(".Sh ");
      });
}

std::string help_text() {
  const testing::ScopedEnv no_color("NO_COLOR", "1");
  ::testing::internal::CaptureStdout();
  print_help();
  return ::testing::internal::GetCapturedStdout();
}

std::vector<Document> documents() {
  return {
      {"orvc help", lines_of(help_text()),
       [](const Lines& lines, const std::string& name) {
         return block(
             lines,
             [&](const std::string& line) {
               return line == "  " + name || line.starts_with("  " + name + " ");
             },
             [](const std::string& line) { return line.starts_with("      "); });
       },
       nullptr, as_is},
      {"docs/orvc.1", source_lines("docs/orvc.1"), man_section, man_section,
       [](const std::string& word) {
         if (word.starts_with("-")) return "Fl " + word.substr(1);
         return "Cm " + word;
       }},
      {"completions/orvc.bash", source_lines("completions/orvc.bash"), case_branches,
       [](const Lines& lines, const std::string&) { return before_first_case(lines); }, as_is},
      {"completions/_orvc", source_lines("completions/_orvc"), case_branches,
       [](const Lines& lines, const std::string&) { return before_first_case(lines); }, as_is},
      {"completions/orvc.fish", source_lines("completions/orvc.fish"),
       [](const Lines& lines, const std::string& name) {
         std::string out;
         for (const std::string& line : lines) {
           const size_t at = line.find("'__fish_seen_subcommand_from ");
           if (at != std::string::npos &&
               has_word(line.substr(at, line.find('\'', at + 1) - at), name))
             out += line + "\n";
         }
         return out;
       },
       [](const Lines& lines, const std::string&) {
         std::string out;
         for (const std::string& line : lines) {
           if (line.find("not __fish_seen_subcommand_from") != std::string::npos)
             out += line + "\n";
         }
         return out;
       },
       [](const std::string& word) {
         if (word.starts_with("--")) return "-l " + word.substr(2);
         if (word.starts_with("-")) return "-s " + word.substr(1);
         return "-a " + word;
       }},
  };
}

TEST(DocsCoverage, EveryCommandAliasAndFlagOfTheTableIsDocumented) {
  for (const Document& document : documents()) {
    for (const CommandEntry& row : command_table()) {
      const std::string name(row.name);
      const std::string section = document.section(document.lines, name);
      for (const std::string& flag : flags_of(row.synopsis)) {
        EXPECT_TRUE(has_word(section, document.spelled(flag)))
            << document.name << " does not give " << name << " the flag " << flag;
      }
      if (!document.names_scope) {
        EXPECT_FALSE(section.empty()) << document.name << " does not list " << name;
        continue;
      }
      const std::string scope = document.names_scope(document.lines, name);
      std::vector<std::string> words{name};
      words.insert(words.end(), row.aliases.begin(), row.aliases.end());
      for (const std::string& word : words) {
        EXPECT_TRUE(has_word(scope, document.spelled(word)))
            << document.name << " does not offer " << word << " (" << name << ")";
      }
    }
  }
}

bool on_path(const std::string& program) {
  std::istringstream path(std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin");
  for (std::string folder; std::getline(path, folder, ':');) {
    if (access((folder + "/" + program).c_str(), X_OK) == 0) return true;
  }
  return false;
}

TEST(DocsCoverage, CompletionsParseAndTheManualPageLintsClean) {
  const std::string root = ORVC_SOURCE_DIR;
  const std::vector<std::vector<std::string>> checks = {
      {"bash", "-n", root + "/completions/orvc.bash"},
      {"zsh", "-n", root + "/completions/_orvc"},
      {"fish", "--no-execute", root + "/completions/orvc.fish"},
      {"mandoc", "-T", "lint", "-W", "warning", root + "/docs/orvc.1"},
  };
  std::string missing;
  for (const auto& argv : checks) {
    if (!on_path(argv.front())) {
      missing += " " + argv.front();
      continue;
    }
    const auto r = testing::run_program(argv, {});
    EXPECT_EQ(r.exit_code, 0) << argv.front() << ":\n" << r.out << r.err;
    EXPECT_EQ(r.out + r.err, "") << argv.front();
  }
  if (!missing.empty()) GTEST_SKIP() << "not installed (scripts/install-deps test):" << missing;
}

}  // namespace
}  // namespace orvc::cli
