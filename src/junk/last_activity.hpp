#pragma once
// When developer junk was last worked on, for `dev-junk --older`: an item that belongs to a
// project takes its project's newest modification time outside the junk folders; any other
// item its own newest one. Access times are never read: many systems do not keep them. Links
// are never followed below the start. Whenever a time cannot be told for sure (an entry that
// cannot be read, a project past the entry limit) the answer is nothing, which callers take as
// "touched just now".
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "junk/junk_item.hpp"

namespace orvc::junk {

// Entries a project walk examines before it gives up; a larger project counts as touched.
inline constexpr size_t kProjectActivityEntryLimit = 20000;

// The item's project folder: the nearest enclosing Git working tree below `home`, or else the
// folder the item lies in. Lexical, apart from looking for ".git".
std::string project_folder_of(const std::string& item_path, const std::string& home);

// Newest modification time of `project`, its folders and files, leaving out node_modules,
// __pycache__ and build-output folders and everything in them.
std::optional<int64_t> project_activity(const std::string& project);

// Newest modification time of `path` and, when it is a folder, of everything in it.
std::optional<int64_t> own_activity(const std::string& path);

// Fills `last_activity` of every item, in parallel; a project shared by several items is walked
// once.
void note_last_activity(std::vector<JunkItem>& items, const std::string& home);

}  // namespace orvc::junk
