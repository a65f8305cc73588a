// The user's protected-paths file: the first line is a candidate path, the rest the file's
// text, read the way the loader reads it. Reading never crashes, a list it accepts reads back
// the same when written again, and every entry covers itself.
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "fuzz_input.hpp"
#include "safety/path_rules.hpp"
#include "safety/unicode_lower.hpp"
#include "safety/user_protected.hpp"
#include "util/text.hpp"

using namespace orvc::safety;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto [candidate, text] = orvc::fuzz::first_line(orvc::fuzz::as_text(data, size));
  // The loader turns away text that is not UTF-8 before parsing.
  if (!orvc::is_valid_utf8(text)) return 0;
  auto entries = parse_protected_paths(text);
  if (!entries) {
    ORVC_FUZZ_CHECK(!entries.error().empty());
    return 0;
  }
  const std::string written = nlohmann::json{{"paths", *entries}}.dump();
  const auto again = parse_protected_paths(written);
  ORVC_FUZZ_CHECK(again && *again == *entries);

  std::vector<std::string> list;
  for (const std::string& entry : *entries) list.push_back(unicode_lower(entry));
  matches_protected_list(list, std::string(candidate));
  for (const std::string& entry : list) {
    ORVC_FUZZ_CHECK(entry.empty() || matches_protected_list({entry}, entry) ||
                    normalize_lexically(entry) != entry);
  }
  return 0;
}
