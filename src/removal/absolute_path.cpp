#include "removal/absolute_path.hpp"

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>

#include "platform/platform.hpp"
#include "removal/path_names.hpp"
#include "util/text.hpp"

namespace orvc::removal {
namespace {

Result<std::string> working_directory() {
  std::unique_ptr<char, decltype(&std::free)> cwd(getcwd(nullptr, 0), &std::free);
  if (!cwd) return failure(os_error_text(errno));
  return std::string(cwd.get());
}

bool is_root(std::string_view path) {
  return !path.empty() && path.find_first_not_of('/') == std::string_view::npos;
}

}  // namespace

std::string lexically_absolute(const std::string& path) {
  if (!path.empty() && path.front() == '/') return path;
  auto cwd = working_directory();
  return cwd ? join_path(*cwd, path) : path;
}

Result<std::string> absolute_with_canonical_parent(const std::string& path) {
  std::string absolute = path;
  if (absolute.empty() || absolute.front() != '/') {
    absolute = join_path(ORVC_TRY(working_directory()), path);
  }
  if (is_root(absolute)) return failure("'" + lossy_utf8(path) + "' has no parent folder");
  const std::string parent = parent_of(absolute);
  errno = 0;
  const auto canonical = platform::canonical_path(parent);
  if (!canonical) return failure(os_error_text(errno != 0 ? errno : ENOENT));
  const auto name = last_normal_component(absolute);
  if (!name) return *canonical;
  return join_path(*canonical, *name);
}

}  // namespace orvc::removal
