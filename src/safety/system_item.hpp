#pragma once
// Crawl filter of the duplicate finder: Finder metadata, bundle internals, system binaries.
#include <string_view>

namespace orvc::safety {

bool is_system_item(std::string_view path, std::string_view name);

}  // namespace orvc::safety
