#pragma once
// Whether a path lies inside a folder that a cloud provider keeps in sync.
#include <optional>
#include <string>
#include <vector>

namespace orvc::safety {

// Reads HOME, the file system and ~/.dropbox/info.json. Thread-safe. Folders found without a
// sync marker are remembered for the life of the process (one command).
bool is_in_cloud_sync_folder(const std::string& path);

// The rules for one already-normalised path and home folder.
bool is_cloud_sync_path(const std::string& path, const std::optional<std::string>& home);

// Sync roots named by the Dropbox client's info.json text: absolute, without "..", existing
// folders (a symbolic link does not count). Malformed text gives none.
std::vector<std::string> dropbox_roots(const std::string& info_json_text);

}  // namespace orvc::safety
