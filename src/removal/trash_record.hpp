#pragma once
// Reading a freedesktop.org Trash record (info/NAME.trashinfo) back.
#include <optional>
#include <string>
#include <string_view>

#include "util/expected.hpp"

namespace orvc::removal {

struct TrashRecord {
  std::string original_path;  // the decoded Path= value
  std::string deletion_date;  // "YYYY-MM-DDThh:mm:ss" as written, local time
};

// "%2F" and the like become their bytes; nothing when an escape is malformed.
std::optional<std::string> percent_decode(std::string_view text);

// The record's Path and DeletionDate; fails when there is no "[Trash Info]" group or no Path in
// it, or a relative Path (a volume Trash's) has a ".." component.
Result<TrashRecord> parse_trash_record(std::string_view text);

// Reads and parses `name` in the folder `info_dir_fd` (or a path with AT_FDCWD); a link is not
// followed. The error names the file.
Result<TrashRecord> read_trash_record(int info_dir_fd, const std::string& name);

}  // namespace orvc::removal
