// The calls that macOS and Linux share.
#include <pwd.h>
#include <unistd.h>

#include <array>

#include "platform/platform.hpp"

namespace orvc::platform {

std::optional<unsigned> online_processors() {
  const long n = sysconf(_SC_NPROCESSORS_ONLN);
  if (n < 1) return std::nullopt;
  return static_cast<unsigned>(n);
}

std::optional<std::string> password_database_home() {
  std::array<char, 16384> buffer{};
  struct passwd entry {};
  struct passwd* found = nullptr;
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found) {
    return std::nullopt;
  }
  if (!found->pw_dir || found->pw_dir[0] == '\0') return std::nullopt;
  return std::string(found->pw_dir);
}

}  // namespace orvc::platform
