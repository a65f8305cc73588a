#include "safety/system_item.hpp"

#include <array>

#include "scan/skip_tables.hpp"
#include "util/text.hpp"

namespace orvc::safety {
namespace {

constexpr std::array<std::string_view, 10> kSystemItemPathParts = {
    "/System/",          "/Contents/_CodeSignature/", ".app/Contents/",   ".framework/",
    ".bundle/Contents/", "/Library/Frameworks/",      "/System/Library/", "/Library/Caches/",
    "/.Trash/",          "/private/var/folders/",
};

constexpr std::array<std::string_view, 6> kSystemItemPathStarts = {
    "/usr/bin/", "/usr/sbin/", "/usr/lib/", "/usr/libexec/", "/bin/", "/sbin/",
};

}  // namespace

bool is_system_item(std::string_view path, std::string_view name) {
  for (std::string_view listed : scan::WALK_SKIP_FILE_NAMES) {
    if (name == listed) return true;
  }
  if (!is_valid_utf8(path)) return false;
  for (std::string_view part : kSystemItemPathParts) {
    if (path.find(part) != std::string_view::npos) return true;
  }
  for (std::string_view start : kSystemItemPathStarts) {
    if (path.starts_with(start)) return true;
  }
  return false;
}

}  // namespace orvc::safety
