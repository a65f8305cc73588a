#include <dirent.h>

#include <memory>

#include "large_files/large_file_finder.hpp"
#include "platform/home.hpp"
#include "util/text.hpp"

namespace orvc::large_files {

Result<std::vector<std::string>> large_file_roots() {
  const auto home = home_env();
  if (!home) return failure("HOME environment variable is not set");
  const std::unique_ptr<DIR, int (*)(DIR*)> listing(opendir(home->c_str()), closedir);
  if (!listing) return std::vector<std::string>{*home};
  std::vector<std::string> roots;
  while (const dirent* entry = readdir(listing.get())) {
    const std::string_view name = entry->d_name;
    // The home folder's Library holds application data, not the user's own files.
    if (name == "." || name == ".." || name == "Library") continue;
    roots.push_back(join_path(*home, name));
  }
  return roots;
}

}  // namespace orvc::large_files
