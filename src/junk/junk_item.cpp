#include "junk/junk_item.hpp"

#include <sys/stat.h>

#include "junk/disk_usage.hpp"
#include "junk/paths.hpp"
#include "util/text.hpp"

namespace orvc::junk {
namespace {

JunkItem item_of(const std::string& path, std::string description, Safety safety, uint64_t size) {
  return JunkItem{.path = path,
                  .name = last_component_text(path).value_or(lossy_utf8(path)),
                  .description = std::move(description),
                  .size_bytes = size,
                  .safe = safety == Safety::Safe,
                  .in_project = false,
                  .last_activity = std::nullopt};
}

}  // namespace

std::optional<JunkItem> make_measured_junk_item(const std::string& path, std::string description,
                                                Safety safety, uint64_t size_bytes) {
  struct stat metadata {};
  if (stat(path.c_str(), &metadata) != 0) return std::nullopt;
  return item_of(path, std::move(description), safety, size_bytes);
}

std::optional<JunkItem> make_junk_item(const std::string& path, std::string description,
                                       Safety safety) {
  struct stat metadata {};
  if (stat(path.c_str(), &metadata) != 0) return std::nullopt;
  return item_of(path, std::move(description), safety, disk_usage(path));
}

}  // namespace orvc::junk
