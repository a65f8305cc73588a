#include "cli/json_junk.hpp"

#include "platform/home.hpp"

namespace orvc::cli {

JsonValue junk_item_record(const junk::JunkItem& item) {
  JsonValue record = path_object(item.path);
  record["name"] = item.name;
  record["description"] = item.description;
  record["size_bytes"] = item.size_bytes;
  record["safe"] = item.safe;
  record["git_tracked"] = item.git_tracked;
  return record;
}

void add_junk_roots(JsonDocument& document) {
  document.open_array("roots");
  if (const auto home = home_env()) document.add(path_object(*home));
  document.close();
}

}  // namespace orvc::cli
