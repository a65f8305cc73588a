#include <sys/stat.h>

#include <nlohmann/json.hpp>

#include "safety/cloud_sync.hpp"
#include "safety/path_rules.hpp"

namespace orvc::safety {
namespace {

bool has_parent_component(const std::string& path) {
  for (const PathComponent& part : path_components(path)) {
    if (part.kind == ComponentKind::ParentDir) return true;
  }
  return false;
}

bool is_folder_no_follow(const std::string& path) {
  struct stat metadata {};
  if (path.find('\0') != std::string::npos) return false;
  return lstat(path.c_str(), &metadata) == 0 && S_ISDIR(metadata.st_mode);
}

}  // namespace

std::vector<std::string> dropbox_roots(const std::string& info_json_text) {
  nlohmann::ordered_json document;
  try {
    document = nlohmann::ordered_json::parse(info_json_text);
  } catch (const nlohmann::json::exception&) {
    return {};
  }
  if (!document.is_object()) return {};
  std::vector<std::string> roots;
  for (const auto& [name, account] : document.items()) {
    if (!account.is_object()) continue;
    const auto path = account.find("path");
    if (path == account.end() || !path->is_string()) continue;
    const auto& root = path->get_ref<const std::string&>();
    if (root.empty() || root.front() != '/' || has_parent_component(root)) continue;
    if (is_folder_no_follow(root)) roots.push_back(root);
  }
  return roots;
}

}  // namespace orvc::safety
