#pragma once
#include <optional>
#include <string>

namespace orvc {

// HOME when it is an absolute path, else the password database's entry for the current user.
std::optional<std::string> home_folder();

// HOME as set, when it is an absolute path; nothing when it is unset, empty or relative. A
// relative HOME would put the history, the Trash and the protected list under whatever folder
// the program happens to run in, so it counts as no HOME at all. No fallback.
std::optional<std::string> home_env();

}  // namespace orvc
