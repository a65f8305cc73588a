#pragma once
// The user's own protected paths and the application's data folder.
#include <string>
#include <vector>

#include "util/expected.hpp"

namespace orvc::safety {

// home_folder joined with "Library/Application Support/com.orvanta.app".
Result<std::string> app_data_dir();

// Entries of protected_paths.json, lower-cased; the empty list when the file is missing.
Result<std::vector<std::string>> load_protected_paths();

// Loaded once per process under one lock; a broken file means no user protection for the run.
bool is_user_protected(const std::string& path);

// Full Unicode lower-casing (used for the list entries and the candidate alike).
std::string unicode_lower(const std::string& text);

}  // namespace orvc::safety
