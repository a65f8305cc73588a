#pragma once
// Shared fixture of the restore and history end-to-end tests: the delete fixture, with the
// facts of every entry for "nothing changed" checks.
#include <sys/stat.h>

#include <string>
#include <vector>

#include "delete_support.hpp"

namespace orvc::testing {

struct EntryFacts {
  mode_t mode = 0;
  int64_t size = 0;
  int64_t mtime_sec = 0;
  int64_t mtime_nsec = 0;
  std::string link_target;

  bool operator==(const EntryFacts&) const = default;
};

inline EntryFacts facts_of(const std::string& path) {
  EntryFacts facts;
  struct stat metadata {};
  if (lstat(path.c_str(), &metadata) != 0) return facts;
  facts.mode = metadata.st_mode;
  facts.size = metadata.st_size;
  facts.mtime_sec = metadata.st_mtim.tv_sec;
  facts.mtime_nsec = metadata.st_mtim.tv_nsec;
  if (S_ISLNK(metadata.st_mode)) {
    char target[4096] = {};
    const ssize_t n = readlink(path.c_str(), target, sizeof target - 1);
    if (n > 0) facts.link_target.assign(target, static_cast<size_t>(n));
  }
  return facts;
}

class RestoreTest : public DeleteTest {
 protected:
  // Deletes `paths` in one run and returns the run's full session id.
  std::string delete_run(const std::vector<std::string>& paths) {
    const auto before = sorted_entries(history_folder());
    const auto r = delete_paths(paths);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    for (const auto& name : sorted_entries(history_folder())) {
      if (std::find(before.begin(), before.end(), name) == before.end()) {
        return name.substr(0, 36);
      }
    }
    ADD_FAILURE() << "no new manifest";
    return "";
  }

  // Every entry under `root`, with its facts, for "nothing changed" checks.
  std::vector<std::pair<std::string, EntryFacts>> snapshot(const std::string& root) {
    std::vector<std::pair<std::string, EntryFacts>> all;
    std::vector<std::string> folders = {root};
    while (!folders.empty()) {
      const std::string folder = folders.back();
      folders.pop_back();
      for (const auto& name : sorted_entries(folder)) {
        const std::string path = folder + "/" + name;
        all.emplace_back(path, facts_of(path));
        if (S_ISDIR(all.back().second.mode)) folders.push_back(path);
      }
    }
    std::sort(all.begin(), all.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    return all;
  }

  std::string trash_list() { return trash_cli("trash-list").out; }
};

inline std::string restored_report(const std::vector<std::string>& paths) {
  std::string out = "Restoring from Trash: " + std::to_string(paths.size()) + " item(s)\n";
  for (const auto& path : paths) out += "  restored " + path + "\n";
  return out + "  Done — " + std::to_string(paths.size()) + " item(s) put back.\n";
}

inline std::string would_restore(const std::vector<std::string>& paths) {
  const std::string count = std::to_string(paths.size()) + " item(s)";
  std::string out = "Restoring from Trash: " + count + "\n";
  for (const auto& path : paths) out += "  would restore " + path + "\n";
  return out + "  DRY RUN — nothing was restored. Re-run without --dry-run to put " + count +
         " back.\n";
}

}  // namespace orvc::testing
