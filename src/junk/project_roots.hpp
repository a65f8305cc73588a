#pragma once
// Where the user's projects live: the well-known home sub-folders, then every other visible home
// sub-folder that is a project or holds one among its first 200 entries. Links are followed
// here (a root may be a link); the walks below the roots never follow them.
#include <string>
#include <vector>

namespace orvc::junk {

inline constexpr size_t kRootProbeEntryLimit = 200;

// Named roots first, then qualifying home entries in listing order. Never fails.
std::vector<std::string> find_project_roots(const std::string& home);

// The folder holds Cargo.toml or package.json, or a "target" or "node_modules" folder.
bool is_project_dir(const std::string& folder);

}  // namespace orvc::junk
