#pragma once
#include <optional>
#include <string>

namespace orvc {

// HOME when set and not empty, else the password database's entry for the current user.
std::optional<std::string> home_folder();

// HOME exactly as set (possibly empty); nothing when unset. No fallback.
std::optional<std::string> home_env();

}  // namespace orvc
