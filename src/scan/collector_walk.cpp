#include "scan/collector_walk.hpp"

#include <algorithm>

#include "gitignore/gitignore.hpp"
#include "platform/folder_stream.hpp"
#include "scan/skip_tables.hpp"
#include "util/text.hpp"
#include "util/work_progress.hpp"

namespace orvc::scan::detail {
namespace {

// Entry types that can never yield a record need no metadata call.
bool never_reported(unsigned char type) {
  return type == DT_LNK || type == DT_FIFO || type == DT_SOCK || type == DT_CHR || type == DT_BLK;
}

bool is_skipped_entry(std::string_view folder, std::string_view name,
                      const WalkSettings& settings) {
  if (is_skipped_name(name) || settings.skip_names.contains(name)) return true;
  // Only short paths can be in the path table; longer ones need no joined path.
  return folder.size() + 1 + name.size() <= kLongestSkipPath + 1 &&
         is_skipped_path(join_path(folder, name));
}

// Opens a folder without following a final link, and only when it is still the folder that
// the parent listed.
FolderHandle open_folder(const FolderJob& job) {
  UniqueFd fd(job.parent ? openat(job.parent->get(), job.name.c_str(), kFolderOpenFlags)
                         : open(job.path.c_str(), kFolderOpenFlags));
  struct stat metadata {};
  if (!fd || fstat(fd.get(), &metadata) != 0 || identity_of(metadata) != job.identity) {
    return nullptr;
  }
  return std::make_shared<const UniqueFd>(std::move(fd));
}

// A folder holding ".git" starts a repository of its own, whose rules replace the parent's.
GitContext context_for_entries(const FolderJob& job, int folder_fd) {
  if (job.is_root) return job.git;
  struct stat metadata {};
  if (fstatat(folder_fd, ".git", &metadata, 0) != 0) return job.git;
  auto context = gitignore::load_gitignore_context(job.path);
  if (!context) return job.git;
  return std::make_shared<const gitignore::GitIgnoreContext>(std::move(*context));
}

}  // namespace

void walk_folder(const FolderJob& job, const WalkSettings& settings,
                 const std::function<void(FolderJob)>& enqueue) {
  if (settings.cancel_flag->load(std::memory_order_relaxed)) return;
  const FolderHandle folder = open_folder(job);
  if (!folder) return;
  // A listing of its own over a duplicate, so the folder's handle stays for its sub-folders.
  FolderStream listing = FolderStream::of_duplicate(folder->get());
  if (!listing) return;
  const int folder_fd = folder->get();
  const GitContext git = settings.git_detection ? context_for_entries(job, folder_fd) : nullptr;
  FolderRecords& out = *job.out;
  // Files seen go to the work counters in batches, not one by one.
  uint64_t files_seen = 0;
  uint64_t bytes_seen = 0;
  const auto count_seen = [&] {
    add_seen(files_seen, bytes_seen);
    files_seen = bytes_seen = 0;
  };

  while (const dirent* entry = listing.next()) {
    if (settings.cancel_flag->load(std::memory_order_relaxed)) break;
    const std::string_view name = entry->d_name;
    if (never_reported(entry->d_type)) continue;
    if (is_skipped_entry(job.path, name, settings)) continue;
    struct stat metadata {};
    if (fstatat(folder_fd, entry->d_name, &metadata, AT_SYMLINK_NOFOLLOW) != 0) continue;

    if (S_ISREG(metadata.st_mode)) {
      bytes_seen += static_cast<uint64_t>(std::max<off_t>(metadata.st_size, 0));
      if (++files_seen == 4096) count_seen();
      if (!is_reported_file(metadata, settings)) continue;
      out.files.push_back(make_record(metadata, join_path(job.path, name), git));
    } else if (S_ISDIR(metadata.st_mode)) {
      const FileIdentity identity = identity_of(metadata);
      if (metadata.st_dev != job.root_device || identity == settings.trash_folder) continue;
      auto& subfolder = out.subfolders.emplace_back(
          FolderRecords::Subfolder{out.files.size(), std::make_unique<FolderRecords>()});
      enqueue(FolderJob{join_path(job.path, name), folder, std::string(name), identity,
                        job.root_device, git, false, subfolder.records.get()});
    }
  }
  count_seen();
}

}  // namespace orvc::scan::detail
