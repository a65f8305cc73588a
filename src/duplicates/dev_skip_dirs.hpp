#pragma once
// Development, package-manager and cache folders the duplicate crawl never enters (compared
// by the collector under ASCII case folding).
#include <array>
#include <string_view>

namespace orvc::duplicates {

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

}  // namespace orvc::duplicates
