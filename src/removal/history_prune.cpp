#include "removal/history_prune.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <map>
#include <memory>
#include <vector>

#include "platform/folder_stream.hpp"
#include "platform/small_file.hpp"
#include "removal/history.hpp"
#include "removal/history_json.hpp"
#include "removal/path_names.hpp"
#include "util/diagnostics.hpp"
#include "util/lexical_path.hpp"
#include "util/text.hpp"

namespace orvc::removal {
namespace {

constexpr int64_t kMaxAgeSeconds = 7 * 24 * 60 * 60;
constexpr size_t kMaxManifests = 50;

// Paths of the regular files in listing order; a failed read of one entry is reported by
// `on_entry_error`. Links, FIFOs and the like are no manifests: they are never read or removed.
template <typename OnEntryError>
Result<std::vector<std::string>> list_folder(const std::string& folder,
                                             OnEntryError on_entry_error) {
  FolderStream dir = FolderStream::open(folder);
  if (!dir) return failure("Failed to read history dir: " + os_error_text(errno));
  std::vector<std::string> paths;
  while (true) {
    const dirent* entry = dir.next();
    if (!entry) {
      if (errno != 0) on_entry_error(os_error_text(errno));
      break;
    }
    const std::string_view name = entry->d_name;
    struct stat metadata {};
    if (fstatat(dir.fd(), entry->d_name, &metadata, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISREG(metadata.st_mode)) {
      continue;
    }
    paths.push_back(join_path(folder, name));
  }
  return paths;
}

bool is_manifest_name(const std::string& path) {
  const auto name = last_component(path);
  if (!name) return false;
  const auto extension = split_file_name(*name).extension;
  return extension && *extension == "json";
}

Result<std::string> read_text(const std::string& path) {
  // Another program may have put something in a manifest's place since the listing.
  auto text = platform::read_small_file(path, platform::FinalLink::Refuse);
  if (text && !is_valid_utf8(*text)) return failure("stream did not contain valid UTF-8");
  return text;
}

// Times of the manifests phase one read and kept, so phase two need not parse them again
// (a run's manifest can list thousands of items).
using KnownTimes = std::map<std::string, int64_t>;

// Phase one: manifests older than the cut-off, and malformed ones, go.
Result<size_t> prune_by_age(const std::string& folder, int64_t cutoff,
                            const std::optional<WrittenManifest>& just_written, KnownTimes& kept) {
  const auto paths = ORVC_TRY(list_folder(folder, [](const std::string& e) {
    report_diagnostic("Skipping unreadable history entry during purge: " + e);
  }));
  size_t removed = 0;
  for (const auto& path : paths) {
    if (!is_manifest_name(path)) continue;
    int64_t time = 0;
    bool well_formed = true;
    if (just_written && path == just_written->path) {
      time = just_written->unix_timestamp;
    } else {
      const auto text = read_text(path);
      if (!text) {
        report_diagnostic("Could not read history manifest " + path +
                          " during purge: " + text.error());
        continue;
      }
      const auto session = parse_session(*text);
      if (session) {
        time = session->unix_timestamp;
      } else {
        well_formed = false;
        report_diagnostic("Purging malformed history manifest " + path + ": " + session.error());
      }
    }
    if (time >= cutoff) {
      if (well_formed) kept[path] = time;
      continue;
    }
    if (unlink(path.c_str()) != 0) {
      report_diagnostic("Failed to purge old history manifest " + path + ": " +
                        os_error_text(errno));
    } else {
      ++removed;
    }
  }
  return removed;
}

// Phase two: only the newest manifests are kept.
Result<size_t> prune_by_count(const std::string& folder, const KnownTimes& known) {
  const auto paths = ORVC_TRY(list_folder(folder, [](const std::string&) {}));
  std::vector<std::pair<int64_t, std::string>> manifests;
  for (const auto& path : paths) {
    if (!is_manifest_name(path)) continue;
    if (const auto found = known.find(path); found != known.end()) {
      manifests.emplace_back(found->second, path);
      continue;
    }
    const auto text = read_text(path);
    if (!text) continue;
    const auto session = parse_session(*text);
    if (session) manifests.emplace_back(session->unix_timestamp, path);
  }
  if (manifests.size() <= kMaxManifests) return size_t{0};
  std::stable_sort(manifests.begin(), manifests.end(),
                   [](const auto& a, const auto& b) { return a.first > b.first; });
  size_t removed = 0;
  for (size_t i = kMaxManifests; i < manifests.size(); ++i) {
    const std::string& path = manifests[i].second;
    if (unlink(path.c_str()) != 0) {
      report_diagnostic("Failed to prune excess history manifest " + path + ": " +
                        os_error_text(errno));
    } else {
      ++removed;
    }
  }
  return removed;
}

}  // namespace

Result<size_t> prune_history(const std::optional<WrittenManifest>& just_written) {
  const std::string folder = ORVC_TRY(history_dir());
  const int64_t now =
      std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
          .count();
  KnownTimes kept;
  const size_t by_age = ORVC_TRY(prune_by_age(folder, now - kMaxAgeSeconds, just_written, kept));
  const size_t by_count = ORVC_TRY(prune_by_count(folder, kept));
  return by_age + by_count;
}

}  // namespace orvc::removal
