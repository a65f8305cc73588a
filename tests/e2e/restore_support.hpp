#pragma once
// Shared fixture of the restore and history end-to-end tests: the delete fixture, the runs it
// records, and snapshots of trees for "nothing changed" checks.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "delete_support.hpp"

namespace orvc::testing {

// Every entry below `root`, a line each: path, mode, link count, size, modification time, link
// target.
inline std::string snapshot(const std::string& root) {
  std::string all;
  for (const auto& name : sorted_entries(root)) {
    const std::string path = root + "/" + name;
    struct stat s {};
    lstat(path.c_str(), &s);
    std::error_code no_link;
    all += path + " " + std::to_string(s.st_mode) + " " + std::to_string(s.st_nlink) + " " +
           std::to_string(s.st_size) + " " + std::to_string(s.st_mtim.tv_sec) + "." +
           std::to_string(s.st_mtim.tv_nsec) + " " +
           std::filesystem::read_symlink(path, no_link).string() + "\n";
    if (S_ISDIR(s.st_mode)) all += snapshot(path);
  }
  return all;
}

inline unsigned mode_of(const std::string& path) {
  struct stat metadata {};
  return lstat(path.c_str(), &metadata) == 0 ? metadata.st_mode & 07777 : 0;
}

class RestoreTest : public DeleteTest {
 protected:
  // The id of the one run that `act` records.
  std::string recorded_run(const std::function<ProcessResult()>& act) {
    const auto before = sorted_entries(history_folder());
    const auto r = act();
    EXPECT_EQ(r.exit_code, 0) << r.err;
    for (const auto& name : sorted_entries(history_folder())) {
      if (std::ranges::find(before, name) == before.end()) return name.substr(0, 36);
    }
    ADD_FAILURE() << "no new manifest";
    return "";
  }
  std::string delete_run(const std::vector<std::string>& paths) {
    return recorded_run([&] { return delete_paths(paths); });
  }

  // Gives a run a chosen id and time, so that reports naming them can be written out in full.
  void pin_run(const std::string& id, const std::string& new_id, int64_t time) {
    const std::string manifest = history_folder() + "/" + id + ".json";
    std::string text = read_file(manifest);
    text.replace(text.find(id), id.size(), new_id);
    const size_t stamp = text.find("\"unix_timestamp\": ") + 18;
    text.replace(stamp, text.find(',', stamp) - stamp, std::to_string(time));
    ASSERT_EQ(unlink(manifest.c_str()), 0);
    write_file(history_folder() + "/" + new_id + ".json", text);
  }

  std::string trash_list() { return trash_cli("trash-list").out; }
};

}  // namespace orvc::testing
