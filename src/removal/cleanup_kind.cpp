#include "removal/cleanup_kind.hpp"

#include <array>
#include <utility>

namespace orvc::removal {
namespace {

constexpr std::array<std::pair<CleanupType, std::string_view>, 4> kTypeSpellings = {{
    {CleanupType::Delete, "cli_delete"},
    {CleanupType::LargeFiles, "cli_large_files"},
    {CleanupType::DevJunk, "cli_dev_junk"},
    {CleanupType::Duplicates, "cli_duplicates"},
}};

constexpr std::array<std::pair<SessionStatus, std::string_view>, 2> kStatusSpellings = {{
    {SessionStatus::Pending, "pending"},
    {SessionStatus::Completed, "completed"},
}};

template <typename Enum, size_t N>
std::string_view spelling_in(const std::array<std::pair<Enum, std::string_view>, N>& table,
                             Enum value) {
  for (const auto& [known, spelling] : table) {
    if (known == value) return spelling;
  }
  return {};
}

}  // namespace

std::string_view stored_spelling(CleanupType type) {
  return spelling_in(kTypeSpellings, type);
}

std::string_view stored_spelling(SessionStatus status) {
  return spelling_in(kStatusSpellings, status);
}

std::optional<SessionStatus> session_status_named(std::string_view text) {
  for (const auto& [status, spelling] : kStatusSpellings) {
    if (spelling == text) return status;
  }
  return std::nullopt;
}

}  // namespace orvc::removal
