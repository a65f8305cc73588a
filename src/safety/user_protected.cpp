#include "safety/user_protected.hpp"

#include <fmt/format.h>
#include <sys/stat.h>

#include <cerrno>
#include <mutex>
#include <optional>

#include "platform/home.hpp"
#include "platform/small_file.hpp"
#include "safety/path_rules.hpp"
#include "safety/tables.hpp"
#include "safety/unicode_lower.hpp"
#include "util/text.hpp"

namespace orvc::safety {
namespace {

constexpr std::string_view kProtectedPathsFile = "protected_paths.json";

struct LoadedList {
  std::mutex lock;
  std::optional<std::vector<std::string>> entries;
  std::optional<std::string> refusal;  // set when the file exists but is not a valid list
};

LoadedList& loaded_list() {
  static LoadedList list;
  return list;
}

// The file's entries as written; the empty list when there is no file. A followed link counts
// as the file, so a link whose target is missing is a broken file, not a missing one. The error
// is the reason alone: the refusal of removal runs names the file itself.
Result<std::vector<std::string>> read_list_file(const std::string& file) {
  struct stat metadata {};
  if (file.find('\0') != std::string::npos) return failure(os_error_text(EINVAL));
  if (lstat(file.c_str(), &metadata) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return std::vector<std::string>{};
    return failure(os_error_text(errno));
  }
  const std::string text = ORVC_TRY(platform::read_small_file(file, platform::FinalLink::Follow));
  if (!is_valid_utf8(text)) return failure("stream did not contain valid UTF-8");
  return parse_protected_paths(text);
}

std::vector<std::string> lowered(std::vector<std::string> entries) {
  for (std::string& entry : entries) entry = unicode_lower(entry);
  return entries;
}

void load_into(LoadedList& list) {
  list.entries.emplace();
  // Without a home folder there is no file to consult, and so nothing to be broken.
  const auto folder = app_data_dir();
  if (!folder) return;
  const std::string file = join_path(*folder, kProtectedPathsFile);
  auto entries = read_list_file(file);
  if (!entries) {
    list.refusal =
        fmt::format("Refusing to move anything: the protected paths file '{}' is not valid: {}",
                    lossy_utf8(file), entries.error());
    return;
  }
  list.entries = lowered(std::move(*entries));
}

}  // namespace

Result<std::string> app_data_dir() {
  const std::optional<std::string> home = home_folder();
  if (!home) return failure("Could not resolve application data directory");
  return join_path(*home, kAppDataFolder);
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
  // A broken file is not retried: the run matches nothing and every removal is refused.
  if (!list.entries) load_into(list);
  return matches_protected_list(*list.entries, path);
}

Status user_protection_status() {
  LoadedList& list = loaded_list();
  const std::lock_guard guard(list.lock);
  if (!list.entries) load_into(list);
  if (list.refusal) return failure(*list.refusal);
  return {};
}

}  // namespace orvc::safety
