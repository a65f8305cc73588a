#include "removal/trash_slot.hpp"

#include <unistd.h>

#include "removal/file_ops.hpp"
#include "removal/path_names.hpp"
#include "removal/trash_info.hpp"
#include "util/text.hpp"

namespace orvc::removal {
namespace {

constexpr unsigned kLastNumber = 9999;

std::string info_path_of(const platform::TrashLocation& trash, const std::string& name) {
  return join_path(*trash.info, name + ".trashinfo");
}

}  // namespace

std::string candidate_name(std::string_view file_name, unsigned number) {
  if (number < 2) return std::string(file_name);
  const auto parts = split_file_name(file_name);
  std::string name = parts.stem + " " + std::to_string(number);
  if (parts.extension) name += "." + *parts.extension;
  return name;
}

Result<TrashSlot> reserve_trash_slot(const platform::TrashLocation& trash,
                                     const std::string& file_name, std::string_view info_text) {
  for (unsigned number = 1; number <= kLastNumber; ++number) {
    TrashSlot slot;
    slot.name = candidate_name(file_name, number);
    slot.destination = join_path(trash.files, slot.name);
    if (entry_exists(slot.destination)) continue;
    if (trash.info) {
      const std::string info_path = info_path_of(trash, slot.name);
      const auto created = ORVC_TRY(create_trash_info(info_path, info_text));
      if (!created) continue;
      slot.info_path = info_path;
      slot.info_inode = *created;
    }
    return slot;
  }
  return failure("no free name left in ~/.Trash for '" + lossy_utf8(file_name) + "'");
}

void release_trash_slot(const TrashSlot& slot) {
  if (slot.info_path) unlink(slot.info_path->c_str());
}

}  // namespace orvc::removal
