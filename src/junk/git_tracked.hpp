#pragma once
// Whether a build-output folder holds files that Git keeps: removing those would lose work that
// no build command brings back.
#include <string>
#include <string_view>

namespace orvc::junk {

// The reason a build-output item carries when it holds tracked files.
inline constexpr std::string_view kGitTrackedReason = "holds files tracked by Git";

// True when `folder` holds a file (or a link) that lies in a Git working tree and is not
// ignored, as the duplicate finder's Git detection decides it, with one addition: rules ending
// in "/" apply to the folders met, so a folder Git ignores as a whole is not searched. A folder
// with its own ".git" is judged by that repository's rules. Stops at the first tracked file;
// never follows a link; folders it cannot read hold nothing.
bool holds_git_tracked_files(const std::string& folder);

}  // namespace orvc::junk
