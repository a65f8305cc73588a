#pragma once
// The user's own protected paths and the application's data folder.
#include <string>
#include <string_view>
#include <vector>

#include "util/expected.hpp"

namespace orvc::safety {

// home_folder joined with "Library/Application Support/com.orvanta.app".
Result<std::string> app_data_dir();

// The text of protected_paths.json: {"paths": [...]} (other members ignored, a second "paths"
// is an error) or the same record as a one-element array. Entries are returned as written.
Result<std::vector<std::string>> parse_protected_paths(std::string_view text);

// Whether a path is covered by a loaded (lower-cased) list: it lies inside an entry or above
// one, comparing whole components. Empty entries are ignored.
bool matches_protected_list(const std::vector<std::string>& list, const std::string& path);

// Loaded once per process under one lock: the entries of protected_paths.json, lower-cased;
// none when the file is missing. A link in the file's place is followed to a regular file;
// anything else there breaks the file, and a broken file matches nothing (see below).
bool is_user_protected(const std::string& path);

// Success when the list loaded or there is no file. When the file exists but cannot be read or
// parsed, the one line that stops every removal run: "Refusing to move anything: the protected
// paths file '<path>' is not valid: <reason>". Loads the list like is_user_protected.
Status user_protection_status();

}  // namespace orvc::safety
