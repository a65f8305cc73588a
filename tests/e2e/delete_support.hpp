#pragma once
// Shared fixture of the delete end-to-end tests: a temporary home whose PATH holds no Trash
// service, so a fallback can never reach a real Trash.
#include <gtest/gtest.h>

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

class DeleteTest : public ::testing::Test {
 protected:
  DeleteTest() { make_dirs(home / "no-bin"); }

  // orvc working in `cwd` (the home when empty), in UTC.
  ProcessResult orvc(const std::vector<std::string>& args, const std::string& cwd = "") {
    ProcessOptions options = orvc_options(home.path(), {{"TZ", "UTC"}, {"PATH", home / "no-bin"}});
    if (!cwd.empty()) options.working_dir = cwd;
    return run_program(orvc_command(args), options);
  }

  ProcessResult delete_paths(const std::vector<std::string>& paths) {
    std::vector<std::string> args = {"delete"};
    args.insert(args.end(), paths.begin(), paths.end());
    return orvc(args);
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
    const std::string folder = history_of(home.path());
    return folder.substr(0, folder.size() - 1);
  }
  // `count` small files home/items/f0, f1, …, each holding its number.
  std::vector<std::string> numbered_items(int count) {
    std::vector<std::string> paths;
    for (int i = 0; i < count; ++i) {
      paths.push_back(home / ("items/f" + std::to_string(i)));
      write_file(paths.back(), std::to_string(i));
    }
    return paths;
  }

  // The text of every manifest, in file-name order.
  std::vector<std::string> manifests() const {
    std::vector<std::string> texts;
    for (const auto& name : sorted_entries(history_of(home.path()))) {
      if (name.ends_with(".json")) texts.push_back(read_file(history_of(home.path(), name)));
    }
    return texts;
  }

  TempDir home;
};

}  // namespace orvc::testing
