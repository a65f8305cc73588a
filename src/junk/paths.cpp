#include "junk/paths.hpp"

#include <sys/stat.h>

#include "util/lexical_path.hpp"
#include "util/text.hpp"

namespace orvc::junk {
namespace {

// The next component other than a leading ".", which names the same folder as none.
std::optional<PathComponent> next_named(ComponentReader& reader) {
  auto part = reader.next();
  if (part && part->kind == ComponentKind::CurrentDir) part = reader.next();
  return part;
}

}  // namespace

std::optional<std::string> last_component_text(std::string_view path) {
  const std::optional<std::string_view> last = last_component(path);
  if (!last) return std::nullopt;
  return lossy_utf8(*last);
}

std::string child_path(std::string_view folder, std::string_view relative) {
  if (folder.empty()) return std::string(relative);
  return join_path(folder, relative);
}

int compare_components(std::string_view a, std::string_view b) {
  ComponentReader left(a), right(b);
  while (true) {
    const auto x = next_named(left);
    const auto y = next_named(right);
    if (!x || !y) return x ? 1 : (y ? -1 : 0);
    if (const int order = x->bytes.compare(y->bytes); order != 0) return order < 0 ? -1 : 1;
  }
}

bool exists(const std::string& path) {
  struct stat metadata {};
  return stat(path.c_str(), &metadata) == 0;
}

bool is_folder(const std::string& path) {
  struct stat metadata {};
  return stat(path.c_str(), &metadata) == 0 && S_ISDIR(metadata.st_mode);
}

}  // namespace orvc::junk
