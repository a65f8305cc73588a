#pragma once
// The freedesktop.org Trash record: info/NAME.trashinfo beside files/NAME.
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

#include "util/expected.hpp"

namespace orvc::removal {

// Percent-encodes every byte except unreserved characters and "/".
std::string percent_encode_path(std::string_view absolute_path);

// "[Trash Info]\nPath=...\nDeletionDate=YYYY-MM-DDThh:mm:ss\n", local time.
std::string trash_info_text(std::string_view absolute_path, std::time_t deletion_time);

// Creates the record exclusively and gives its inode number; nothing (not a failure) when the
// name is already taken.
Result<std::optional<uint64_t>> create_trash_info(const std::string& info_path,
                                                  std::string_view text);

}  // namespace orvc::removal
