#include <fmt/format.h>

#include "safety/protection.hpp"
#include "util/text.hpp"

namespace orvc::safety {

std::string refusal_before_move(std::string_view path) {
  return fmt::format(
      "Refusing to remove '{}': protected macOS system item (managed by the OS; removing it can "
      "break system services). Skipped for safety.",
      lossy_utf8(path));
}

std::string refusal_inside_move(std::string_view path) {
  return fmt::format("Refusing to move '{}' to ~/.Trash: protected macOS system item.",
                     lossy_utf8(path));
}

std::string all_protected_summary(size_t count) {
  return fmt::format(
      "{} item(s) were skipped: protected macOS system items that no app may remove "
      "(system-managed — safe to leave).",
      count);
}

std::string cloud_sync_refusal(std::string_view path) {
  return fmt::format(
      "Refusing to remove '{}': it is inside a cloud sync folder (Dropbox, Google Drive or "
      "OneDrive). Deleting it here would also delete it from the cloud. Use the provider's Make "
      "Online-Only / Free Up Space option in Finder instead.",
      lossy_utf8(path));
}

}  // namespace orvc::safety
