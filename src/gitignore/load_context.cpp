#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <string>
#include <vector>

#include "gitignore/gitignore.hpp"
#include "gitignore/parse_rules.hpp"
#include "platform/small_file.hpp"
#include "util/lexical_path.hpp"
#include "util/text.hpp"

namespace orvc::gitignore {
namespace {

// An empty folder path means the current folder.
std::string entry_in(std::string_view folder, std::string_view name) {
  return folder.empty() ? std::string(name) : join_path(folder, name);
}

bool has_git_entry(std::string_view folder) {
  struct stat metadata {};
  return stat(entry_in(folder, ".git").c_str(), &metadata) == 0;
}

}  // namespace

std::optional<GitIgnoreContext> load_gitignore_context(std::string_view start) {
  std::vector<std::string_view> folders;
  std::optional<std::string_view> folder = start;
  bool found = false;
  while (folder) {
    folders.push_back(*folder);
    if (has_git_entry(*folder)) {
      found = true;
      break;
    }
    folder = parent_path(*folder);
  }
  if (!found) return std::nullopt;

  std::ranges::reverse(folders);
  GitIgnoreContext context;
  context.repo_root = std::string(folders.front());
  for (std::string_view base : folders) {
    // Git itself does not follow a link in a ".gitignore" file's place; a FIFO or a device there
    // is passed over without being read.
    auto text =
        platform::read_small_file(entry_in(base, ".gitignore"), platform::FinalLink::Refuse);
    if (!text || !is_valid_utf8(*text)) continue;
    auto rules = parse_ignore_text(*text);
    if (rules.empty()) continue;
    context.files.push_back(IgnoreFile{std::string(base), std::move(rules)});
  }
  return context;
}

}  // namespace orvc::gitignore
