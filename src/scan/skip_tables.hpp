#pragma once
// Operating-system names and paths that no walk enters or lists (shared by the sweep and the
// file collector). Comparisons are exact and case-sensitive; invalid UTF-8 never matches. The
// file names are also the system items that are never removed (safety/system_item).
#include <array>
#include <string_view>

namespace orvc::scan {

inline constexpr std::array<std::string_view, 11> WALK_SKIP_DIR_NAMES = {
    ".vol",
    ".Trashes",
    ".fseventsd",
    ".MobileBackups",
    ".Spotlight-V100",
    ".TemporaryItems",
    ".MobileBackups.trash",
    ".DocumentRevisions-V100",
    ".PKInstallSandboxManager",
    ".PreviousSystemInformation",
    ".PKInstallSandboxManager-SystemSoftware",
};

inline constexpr std::array<std::string_view, 5> WALK_SKIP_FILE_NAMES = {
    "Icon\r", ".DS_Store", ".localized", ".VolumeIcon.icns", ".com.apple.timemachine.donotpresent",
};

inline constexpr std::array<std::string_view, 20> WALK_SKIP_PATHS = {
    "/dev",
    "/net",
    "/bin",
    "/usr",
    "/.vol",
    "/home",
    "/sbin",
    "/cores",
    "/var/vm",
    "/System",
    "/Volumes",
    "/private/var/vm",
    "/System/Volumes/VM",
    "/System/Volumes/Data",
    "/System/Volumes/xarts",
    "/System/Volumes/Update",
    "/System/Volumes/Preboot",
    "/System/Volumes/Hardware",
    "/System/Volumes/Recovery",
    "/System/Volumes/iSCPreboot",
};

// Development, package-manager and cache folders that the duplicate and large-file crawls never
// enter (compared by the collector under ASCII case folding).
inline constexpr std::array<std::string_view, 35> DEV_SKIP_DIRS = {
    ".git",          ".svn",          ".hg",
    "node_modules",  ".next",         ".nuxt",
    ".turbo",        ".parcel-cache", "bower_components",
    "target",        "build",         "dist",
    ".gradle",       "DerivedData",   ".cargo",
    ".rustup",       ".npm",          ".yarn",
    ".pnpm-store",   ".gem",          ".m2",
    ".cocoapods",    "__pycache__",   ".venv",
    "venv",          ".tox",          ".conda",
    ".gradle-cache", ".docker",       ".colima",
    ".lima",         ".vagrant.d",    "Caches",
    ".cache",        ".Trash",
};

// True when a listing entry with this name is never entered or listed.
bool is_skipped_name(std::string_view name);

// True when an entry with this full path is never entered or listed.
bool is_skipped_path(std::string_view path);

// Longest entry of WALK_SKIP_PATHS: a longer path can never match, and needs no test.
inline constexpr size_t kLongestSkipPath = [] {
  size_t longest = 0;
  for (auto entry : WALK_SKIP_PATHS) longest = entry.size() > longest ? entry.size() : longest;
  return longest;
}();

}  // namespace orvc::scan
