#include "platform/folder_stream.hpp"

#include "util/text.hpp"

namespace orvc {

Result<std::vector<std::string>> read_names(FolderStream& listing) {
  std::vector<std::string> names;
  while (const dirent* entry = listing.next()) names.emplace_back(entry->d_name);
  if (errno != 0) return failure(os_error_text(errno));
  return names;
}

std::vector<std::string> names_in(const std::string& path) {
  std::vector<std::string> names;
  FolderStream listing = FolderStream::open(path);
  if (!listing) return names;
  while (const dirent* entry = listing.next()) names.emplace_back(entry->d_name);
  return names;
}

}  // namespace orvc
