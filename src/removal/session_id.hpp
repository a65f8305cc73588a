#pragma once
// Session ids (UUID v4 from the OS random source) and manifest time stamps.
#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace orvc::removal {

// Lower-case hyphenated form, 36 characters.
std::string new_uuid_v4();

// Accepts 32 hex digits or the 36-character hyphenated form, either letter case; returns the
// lower-case hyphenated form.
std::optional<std::string> canonical_uuid(std::string_view text);

// "2024-05-01T09:30:00.123+00:00": fraction digits only when not zero, 3, 6 or 9 of them.
std::string rfc3339_utc(std::chrono::system_clock::time_point moment);

}  // namespace orvc::removal
