// The calls that macOS and Linux share.
#include "platform/posix.hpp"

#include <pwd.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <memory>

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

std::optional<std::string> realpath_of(const std::string& path) {
  std::unique_ptr<char, decltype(&std::free)> resolved(realpath(path.c_str(), nullptr), &std::free);
  if (!resolved) return std::nullopt;
  return std::string(resolved.get());
}

}  // namespace orvc::platform
