#pragma once
// Whether moving a path would move the Trash itself (or a folder holding it) into the Trash.
#include <string>

#include "platform/platform.hpp"

namespace orvc::removal {

// `path` is absolute. Only folders can hold the Trash; a link is judged as the link. The Trash's
// own resolved paths are remembered per Trash location, since every move asks.
bool holds_the_trash(const std::string& path, const platform::TrashLocation& trash);

}  // namespace orvc::removal
