#pragma once
// Tidies what a killed run can leave in a Trash: records older than an hour whose item never
// arrived, and partial copies whose writing process has ended.
#include "platform/platform.hpp"

namespace orvc::removal {

// Best effort: what cannot be listed or removed stays for a later run.
void tidy_trash_leftovers(const platform::TrashLocation& trash);

}  // namespace orvc::removal
