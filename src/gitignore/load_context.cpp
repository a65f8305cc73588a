#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <string>
#include <vector>

#include "gitignore/gitignore.hpp"
#include "gitignore/lexical_path.hpp"
#include "gitignore/parse_rules.hpp"
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

std::optional<std::string> read_text_file(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::string text;
  std::array<char, 16384> buffer{};
  while (true) {
    const ssize_t n = read(fd, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      close(fd);
      return std::nullopt;
    }
    if (n == 0) break;
    text.append(buffer.data(), static_cast<size_t>(n));
  }
  close(fd);
  return text;
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
    folder = lexical_parent(*folder);
  }
  if (!found) return std::nullopt;

  std::ranges::reverse(folders);
  GitIgnoreContext context;
  context.repo_root = std::string(folders.front());
  for (std::string_view base : folders) {
    auto text = read_text_file(entry_in(base, ".gitignore"));
    if (!text || !is_valid_utf8(*text)) continue;
    auto rules = parse_ignore_text(*text);
    if (rules.empty()) continue;
    context.files.push_back(IgnoreFile{std::string(base), std::move(rules)});
  }
  return context;
}

}  // namespace orvc::gitignore
