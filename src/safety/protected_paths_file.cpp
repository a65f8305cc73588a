#include <nlohmann/json.hpp>

#include "safety/user_protected.hpp"

namespace orvc::safety {
namespace {

using nlohmann::json;

Result<std::vector<std::string>> string_list(const json& value) {
  if (!value.is_array()) return failure("invalid type: expected a sequence of strings");
  std::vector<std::string> entries;
  entries.reserve(value.size());
  for (const json& element : value) {
    if (!element.is_string()) return failure("invalid type: expected a string");
    entries.push_back(element.get<std::string>());
  }
  return entries;
}

// "[json.exception.parse_error.101] parse error at ..." reads better without the library's tag.
std::string without_library_tag(std::string_view message) {
  if (message.starts_with("[json.exception.")) {
    if (const size_t end = message.find("] "); end != std::string_view::npos) {
      message.remove_prefix(end + 2);
    }
  }
  return std::string(message);
}

}  // namespace

Result<std::vector<std::string>> parse_protected_paths(std::string_view text) {
  // The JSON library silently skips a byte-order mark; the file format does not allow one.
  if (text.starts_with("\xEF\xBB\xBF")) return failure("expected value at line 1 column 1");
  // The library keeps the last of two equal keys; a repeated "paths" must be an error instead.
  int top_level_paths_keys = 0;
  const json::parser_callback_t count_paths = [&](int depth, json::parse_event_t event,
                                                  json& parsed) {
    if (event == json::parse_event_t::key && depth == 1 && parsed == "paths") {
      ++top_level_paths_keys;
    }
    return true;
  };
  json document;
  try {
    document = json::parse(text.begin(), text.end(), count_paths);
  } catch (const json::exception& error) {
    return failure(without_library_tag(error.what()));
  }
  if (document.is_object()) {
    if (top_level_paths_keys > 1) return failure("duplicate field `paths`");
    const auto paths = document.find("paths");
    if (paths == document.end()) return failure("missing field `paths`");
    return string_list(*paths);
  }
  if (document.is_array()) {
    if (document.size() != 1) return failure("invalid length: expected an array of one element");
    return string_list(document.front());
  }
  return failure("invalid type: expected struct ProtectedPathsConfig");
}

}  // namespace orvc::safety
