#pragma once
// open(2) for paths of any length: a path longer than the system allows in one call is opened
// piece by piece, each piece relative to the folder the previous one reached. Components are
// resolved as open(2) would resolve them; `flags` apply to the final component.
#include <string>

namespace orvc {

// A descriptor, or -1 with errno set.
int open_long_path(const std::string& path, int flags, unsigned mode = 0);

}  // namespace orvc
