#include "removal/absolute_path.hpp"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>

#include "util/text.hpp"

namespace orvc::removal {

Result<std::string> lexically_absolute(const std::string& path) {
  if (!path.empty() && path.front() == '/') return path;
  std::unique_ptr<char, decltype(&std::free)> cwd(getcwd(nullptr, 0), &std::free);
  if (!cwd) return failure("cannot read the working folder: " + os_error_text(errno));
  return join_path(cwd.get(), path);
}

}  // namespace orvc::removal
