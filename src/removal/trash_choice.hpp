#pragma once
// Which Trash an item goes to. An item on the home folder's volume, or on the home Trash's, goes
// to the home Trash; an item on any other volume goes to that volume's own Trash, so the move
// is a rename and never a copy. Only when no volume Trash can be used (the root volume, a
// read-only volume, a Trash folder owned by someone else) does it go to the home Trash by copy.
#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/platform.hpp"
#include "util/expected.hpp"

namespace orvc::removal {

struct ChosenTrash {
  platform::TrashLocation location;
  // For a volume Trash, the volume's top folder: its records name paths relative to it.
  std::optional<std::string> top_folder;
};

// `item_folder` is the resolved folder holding the item, `item_device` the item's own device.
// A volume Trash is made when missing (private to the user). Decisions are kept per device for
// the life of the process.
ChosenTrash choose_trash(const platform::TrashLocation& home_trash, const std::string& home,
                         const std::string& item_folder, dev_t item_device);

// The Trashes of the volume that holds `path` (or its nearest existing folder) that exist now,
// unless that volume is the home folder's or the root volume.
std::vector<platform::TrashLocation> volume_trashes_for(const std::string& path,
                                                        const std::string& home);

// The top folder of the volume whose Trash keeps its records in `info_folder`.
std::string volume_top_of_info_folder(const std::string& info_folder);

// The path a record of `chosen` names for an item at `original_path`.
std::string record_path(const ChosenTrash& chosen, const std::string& original_path);

}  // namespace orvc::removal
