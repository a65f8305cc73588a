#pragma once
// Internals of the file collector: one folder's listing at a time, with each sub-folder handed
// on as a job of its own. Records land in a tree that mirrors the folders, so the final order
// (listing order, depth first) does not depend on which worker walked what.
#include <sys/stat.h>

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "gitignore/ignore_rules.hpp"
#include "scan/collector.hpp"
#include "util/unique_fd.hpp"

namespace orvc::scan::detail {

struct FolderRecords {
  struct Subfolder {
    size_t files_before = 0;  // how many of `files` the sub-folder's listing position follows
    std::unique_ptr<FolderRecords> records;
  };
  std::vector<CollectedFile> files;
  std::vector<Subfolder> subfolders;
};

using GitContext = std::shared_ptr<const gitignore::GitIgnoreContext>;

using FolderHandle = std::shared_ptr<const UniqueFd>;

struct FolderJob {
  std::string path;       // full path, for records, skip tables and messages
  FolderHandle parent;    // the parent folder's handle, opened through; none for a root
  std::string name;       // the name in `parent`
  FileIdentity identity;  // as seen in the parent's listing; the opened folder must match
  dev_t root_device = 0;
  GitContext git;        // rules in force for the parent's entries
  bool is_root = false;  // its Git context is already the folder's own
  FolderRecords* out = nullptr;
};

// Folder names compared under ASCII case folding, bucketed by length.
class CaseFoldedNames {
 public:
  explicit CaseFoldedNames(const std::vector<std::string>& names);
  bool contains(std::string_view name) const;

 private:
  static constexpr size_t kBuckets = 64;
  std::array<std::vector<std::string>, kBuckets> by_length_;
  std::vector<std::string> longer_;
};

struct WalkSettings {
  CaseFoldedNames skip_names;
  bool git_detection = false;
  const std::atomic<bool>* cancel_flag = nullptr;
  const FileFilter* keep = nullptr;
  std::optional<FileIdentity> trash_folder;  // the user's Trash, never entered
};

// False for a regular file that is not reported: content not on the local disk, a size without
// allocated blocks, or rejected by the caller's filter.
bool is_reported_file(const struct stat& metadata, const WalkSettings& settings);

CollectedFile make_record(const struct stat& metadata, std::string path, const GitContext& git);

// Lists one folder into job.out and hands every sub-folder to `enqueue`. Sub-folders are opened
// relative to their parent's handle, so paths longer than PATH_MAX are walked too. Unreadable
// folders and entries contribute nothing.
void walk_folder(const FolderJob& job, const WalkSettings& settings,
                 const std::function<void(FolderJob)>& enqueue);

// Moves the records of a finished tree into `out`, depth first in listing order.
void append_in_order(FolderRecords& root, std::vector<CollectedFile>& out);

}  // namespace orvc::scan::detail
