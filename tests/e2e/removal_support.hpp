#pragma once
// Shared fixture of the removal end-to-end tests (delete, restore, history): a temporary home
// whose PATH holds no Trash service, so a fallback can never reach a real Trash; the runs it
// records, and snapshots of trees for "nothing changed" checks.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "support/run_process.hpp"
#include "support/temp_home.hpp"
#include "support/trash_home.hpp"

namespace orvc::testing {

inline const std::string kDone = "  Done — items moved to Trash (recoverable).\n";

inline std::string plan(const std::vector<std::string>& paths) {
  std::string out = "Moving to Trash: " + std::to_string(paths.size()) + " item(s)\n";
  for (const auto& path : paths) out += "  trash " + path + "\n";
  return out;
}

inline const std::string kSkipped =
    "  Some items could not be moved: 1 item(s) were skipped: protected macOS system items that "
    "no app may remove (system-managed — safe to leave).\n";

// The failure line of a run in which one item could not be removed.
inline std::string could_not_remove(const std::string& path, const std::string& reason) {
  return "  Some items could not be moved: Cleaned with 1 issue(s). 1 item(s) could not be "
         "removed: '" +
         path + "': " + reason + "\n";
}

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

class DeleteTest : public ::testing::Test {
 protected:
  DeleteTest() { make_dirs(home / "no-bin"); }

  // How orvc runs: working in `cwd` (the home when empty), in UTC.
  ProcessOptions options(const std::string& cwd = "") {
    ProcessOptions options = orvc_options(home.path(), {{"TZ", "UTC"}, {"PATH", home / "no-bin"}});
    if (!cwd.empty()) options.working_dir = cwd;
    return options;
  }
  ProcessResult orvc(const std::vector<std::string>& args, const std::string& cwd = "") {
    return run_program(orvc_command(args), options(cwd));
  }
  ProcessResult delete_paths(std::vector<std::string> paths) {
    paths.insert(paths.begin(), "delete");
    return orvc(paths);
  }

  // trash-cli run through a shell with the same HOME and XDG_DATA_HOME.
  ProcessResult trash_cli(const std::string& command_line) {
    return run_program({"/bin/sh", "-c", command_line},
                       orvc_options(home.path(), {{"PATH", "/usr/bin:/bin"}}));
  }

  std::string trash_files(const std::string& name = "") const {
    return trash_files_of(home.path(), name);
  }
  std::string trash_info(const std::string& name) const { return trash_info_of(home.path(), name); }
  std::string history_folder() const {
    return std::filesystem::path(history_of(home.path())).parent_path();
  }
  // `count` small files home/items/f0, f1, …, each holding its number.
  std::vector<std::string> numbered_items(int count) {
    std::vector<std::string> paths;
    for (int i = 0; i < count; ++i)
      write_file(paths.emplace_back(home / ("items/f" + std::to_string(i))), std::to_string(i));
    return paths;
  }

  // How many of the numbered items are in the Trash; each must be whole in one place.
  int count_moved(const std::vector<std::string>& items) {
    int moved = 0;
    for (size_t i = 0; i < items.size(); ++i) {
      const std::string in_trash = trash_files("f" + std::to_string(i));
      const bool in_place = exists_no_follow(items[i]);
      EXPECT_NE(in_place, exists_no_follow(in_trash)) << items[i];
      EXPECT_EQ(read_file(in_place ? items[i] : in_trash), std::to_string(i));
      moved += in_place ? 0 : 1;
    }
    return moved;
  }

  // The text of every manifest, in file-name order.
  std::vector<std::string> manifests() const {
    std::vector<std::string> texts;
    for (const auto& name : sorted_entries(history_of(home.path())))
      if (name.ends_with(".json")) texts.push_back(read_file(history_of(home.path(), name)));
    return texts;
  }

  // The id of the one run that `act` records.
  std::string recorded_run(const std::function<ProcessResult()>& act) {
    const auto before = sorted_entries(history_folder());
    const auto r = act();
    EXPECT_EQ(r.exit_code, 0) << r.err;
    for (const auto& name : sorted_entries(history_folder()))
      if (std::ranges::find(before, name) == before.end()) return name.substr(0, 36);
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

  TempDir home;
};

using RestoreTest = DeleteTest;

}  // namespace orvc::testing
