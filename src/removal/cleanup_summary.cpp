#include "removal/cleanup_summary.hpp"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <array>
#include <string_view>

#include "util/text.hpp"

namespace orvc::removal {
namespace {

// Failures macOS itself causes (TCC, sandbox); nothing the user can do about them.
bool is_macos_protected(const std::string& message) {
  static constexpr std::array<std::string_view, 5> kMarkers = {
      "operation not permitted", "not permitted", "sandbox_extension_issue_file",
      "necessary permission", "-5000"};
  const std::string lower = ascii_lower(message);
  for (const auto marker : kMarkers) {
    if (lower.find(marker) != std::string::npos) return true;
  }
  return false;
}

}  // namespace

std::string summarise_failures(const std::vector<MoveFailureRecord>& failures) {
  std::vector<std::string> protected_paths;
  std::vector<std::string> other;
  for (const auto& record : failures) {
    if (is_macos_protected(record.message)) {
      protected_paths.push_back(lossy_utf8(record.path));
    } else {
      other.push_back(fmt::format("'{}': {}", lossy_utf8(record.path), record.message));
    }
  }
  std::vector<std::string> parts;
  if (!protected_paths.empty()) {
    parts.push_back(fmt::format(
        "{} item(s) are protected by macOS and can't be removed by any app (system-managed caches "
        "such as {}). These are safe to leave — macOS manages them itself.",
        protected_paths.size(), fmt::join(protected_paths, ", ")));
  }
  if (!other.empty()) {
    parts.push_back(
        fmt::format("{} item(s) could not be removed: {}", other.size(), fmt::join(other, "; ")));
  }
  return fmt::format("Cleaned with {} issue(s). {}", failures.size(), fmt::join(parts, " "));
}

std::string summarise_interruption(size_t moved, size_t left_alone,
                                   const std::vector<MoveFailureRecord>& failures) {
  std::string message = fmt::format(
      "Interrupted — {} item(s) moved to Trash (recoverable), {} left alone.", moved, left_alone);
  if (!failures.empty()) message += " " + summarise_failures(failures);
  return message;
}

}  // namespace orvc::removal
