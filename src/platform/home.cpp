#include "platform/home.hpp"

#include <cstdlib>

#include "platform/platform.hpp"

namespace orvc {

std::optional<std::string> home_env() {
  const char* value = std::getenv("HOME");
  if (!value || value[0] != '/') return std::nullopt;
  return std::string(value);
}

std::optional<std::string> home_folder() {
  if (auto home = home_env()) return home;
  return platform::password_database_home();
}

}  // namespace orvc
