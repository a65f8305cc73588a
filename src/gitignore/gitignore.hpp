#pragma once
// Decides whether a file in a Git working tree is ignored, without Git and without reading the
// repository's index: a working tree is a folder holding a ".git" entry, and its ".gitignore"
// files between the repository root and the scan root are the rules in force.
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "gitignore/ignore_rules.hpp"

namespace orvc::gitignore {

// Looks for ".git" (followed through links, folder or file) in `start` and each folder above it
// (lexically). Nothing when no folder up to the top has one. Ignore files that are missing,
// unreadable, not UTF-8, larger than 16 MiB, or not regular files (a link in a ".gitignore"
// file's place is not followed) are passed over silently, without blocking.
std::optional<GitIgnoreContext> load_gitignore_context(std::string_view start);

// What the caller knows `path` to be.
enum class EntryKind { File, Folder };

// True when the last rule that matches `path` (across files, root first) is not negated.
// Rules ending in "/" take part only for a path known to be a folder; for a file they are passed
// over. Touches no file system.
bool is_ignored(std::span<const IgnoreFile> files, std::string_view path,
                EntryKind kind = EntryKind::File);

}  // namespace orvc::gitignore
