#pragma once
// What a cleanup run was and how far it got, as history manifests spell them. The spellings are
// stored in manifests and read back by later versions: they never change.
#include <optional>
#include <string_view>

namespace orvc::removal {

enum class CleanupType { Delete, LargeFiles, DevJunk, Duplicates };

// Pending: written before the moves begin, so that a killed run can be finished later.
enum class SessionStatus { Pending, Completed };

std::string_view stored_spelling(CleanupType type);
std::string_view stored_spelling(SessionStatus status);

// The status a manifest's text stands for; nothing for a spelling this program never writes.
std::optional<SessionStatus> session_status_named(std::string_view text);

}  // namespace orvc::removal
