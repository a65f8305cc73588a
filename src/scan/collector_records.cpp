#include <algorithm>

#include "gitignore/gitignore.hpp"
#include "platform/platform.hpp"
#include "scan/collector_walk.hpp"
#include "util/saturating.hpp"
#include "util/text.hpp"

namespace orvc::scan {

std::optional<int64_t> modified_seconds(const struct stat& metadata) {
  const timespec time = platform::modified_time(metadata);
  if (time.tv_sec < 0 || time.tv_nsec < 0 || time.tv_nsec > 999'999'999) return std::nullopt;
  return static_cast<int64_t>(time.tv_sec);
}

}  // namespace orvc::scan

namespace orvc::scan::detail {

CaseFoldedNames::CaseFoldedNames(const std::vector<std::string>& names) {
  for (const auto& name : names) {
    // Only valid UTF-8 names can match, and folding ASCII letters keeps a name valid.
    if (!is_valid_utf8(name)) continue;
    auto& bucket = name.size() < kBuckets ? by_length_[name.size()] : longer_;
    bucket.push_back(ascii_lower(name));
  }
}

bool CaseFoldedNames::contains(std::string_view name) const {
  const auto& bucket = name.size() < kBuckets ? by_length_[name.size()] : longer_;
  return std::ranges::any_of(
      bucket, [name](const std::string& entry) { return equals_ascii_ci(entry, name); });
}

bool is_reported_file(const struct stat& metadata, const WalkSettings& settings) {
  if (platform::is_dataless(metadata)) return false;
  if (metadata.st_size > 0 && metadata.st_blocks == 0) return false;
  return !*settings.keep || (*settings.keep)(metadata);
}

CollectedFile make_record(const struct stat& metadata, std::string path, const GitContext& git) {
  CollectedFile record;
  record.modified_secs = modified_seconds(metadata);
  record.size = static_cast<uint64_t>(metadata.st_size);
  record.allocated = blocks_to_bytes(metadata.st_blocks);
  record.identity = {identity_of(metadata), static_cast<uint64_t>(metadata.st_nlink)};
  if (git) {
    record.git = gitignore::is_ignored(git->files, path) ? GitState::Ignored : GitState::Tracked;
  }
  record.path = std::move(path);
  return record;
}

void append_in_order(FolderRecords& root, std::vector<CollectedFile>& out) {
  struct Frame {
    FolderRecords* folder;
    size_t next_file = 0;
    size_t next_subfolder = 0;
  };
  // An explicit stack: trees can be deeper than any thread's stack allows recursion for.
  std::vector<Frame> stack = {{&root}};
  while (!stack.empty()) {
    Frame& frame = stack.back();
    FolderRecords& folder = *frame.folder;
    const size_t files_end = frame.next_subfolder < folder.subfolders.size()
                                 ? folder.subfolders[frame.next_subfolder].files_before
                                 : folder.files.size();
    for (; frame.next_file < files_end; ++frame.next_file) {
      out.push_back(std::move(folder.files[frame.next_file]));
    }
    if (frame.next_subfolder == folder.subfolders.size()) {
      folder.files = {};
      stack.pop_back();
      continue;
    }
    FolderRecords* child = folder.subfolders[frame.next_subfolder++].records.get();
    stack.push_back({child});
  }
}

}  // namespace orvc::scan::detail
