#include "safety/user_protected.hpp"

#include <sys/stat.h>

#include <mutex>
#include <optional>

#include "platform/home.hpp"
#include "safety/path_rules.hpp"
#include "safety/read_text.hpp"
#include "util/text.hpp"

namespace orvc::safety {
namespace {

constexpr std::string_view APP_SUPPORT_FOLDER = "Library/Application Support";
constexpr std::string_view APP_IDENTIFIER = "com.orvanta.app";
constexpr std::string_view PROTECTED_PATHS_FILE = "protected_paths.json";

struct LoadedList {
  std::mutex lock;
  std::optional<std::vector<std::string>> entries;
};

LoadedList& loaded_list() {
  static LoadedList list;
  return list;
}

}  // namespace

Result<std::string> app_data_dir() {
  const std::optional<std::string> home = home_folder();
  if (!home) return failure("Could not resolve application data directory");
  return join_path(join_path(*home, APP_SUPPORT_FOLDER), APP_IDENTIFIER);
}

Result<std::vector<std::string>> load_protected_paths() {
  const std::string folder = ORVC_TRY(app_data_dir());
  const std::string file = join_path(folder, PROTECTED_PATHS_FILE);
  struct stat metadata {};
  if (file.find('\0') != std::string::npos || stat(file.c_str(), &metadata) != 0) {
    return std::vector<std::string>{};
  }
  auto text = read_regular_file(file);
  if (text && !is_valid_utf8(*text)) text = failure("stream did not contain valid UTF-8");
  if (!text) return failure("Could not read protected paths: " + text.error());
  auto entries = parse_protected_paths(*text);
  if (!entries) return failure("Could not parse protected paths: " + entries.error());
  for (std::string& entry : *entries) entry = unicode_lower(entry);
  return std::move(*entries);
}

bool matches_protected_list(const std::vector<std::string>& list, const std::string& path) {
  if (list.empty()) return false;
  const std::string candidate = unicode_lower(lossy_utf8(normalize_lexically(path)));
  for (const std::string& entry : list) {
    if (entry.empty()) continue;
    if (path_starts_with(candidate, entry) || path_starts_with(entry, candidate)) return true;
  }
  return false;
}

bool is_user_protected(const std::string& path) {
  LoadedList& list = loaded_list();
  const std::lock_guard guard(list.lock);
  if (!list.entries) {
    // A broken file is not retried: the whole run goes without user protection.
    auto loaded = load_protected_paths();
    list.entries = loaded ? std::move(*loaded) : std::vector<std::string>{};
  }
  return matches_protected_list(*list.entries, path);
}

}  // namespace orvc::safety
