#pragma once
// Picks the item's name inside the Trash: the file name itself, else "{stem} {n}{.ext}" for
// n = 2..9999. A name is taken when the files entry or its .trashinfo record exists (links not
// followed). Where the platform keeps records, the record is created here, exclusively, which
// reserves the name against this process's other moves and other programs alike; without
// records, the caller holds trash_lock.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/platform.hpp"
#include "util/expected.hpp"

namespace orvc::removal {

struct TrashSlot {
  std::string name;
  std::string destination;
  std::optional<std::string> info_path;  // the record created for this slot
  uint64_t info_inode = 0;
};

std::string candidate_name(std::string_view file_name, unsigned number);

// `info_text` is written into the record when the platform keeps records.
Result<TrashSlot> reserve_trash_slot(const platform::TrashLocation& trash,
                                     const std::string& file_name, std::string_view info_text);

// Removes the slot's record again (the move failed).
void release_trash_slot(const TrashSlot& slot);

}  // namespace orvc::removal
