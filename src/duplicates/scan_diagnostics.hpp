#pragma once
// The three "[dup-scan]" lines the finder reports between its stages (without line ends).
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace orvc::duplicates {

std::string crawl_line(size_t candidates, const std::vector<std::string>& roots, bool skip_dev_dirs,
                       double seconds);

std::string size_group_line(size_t candidates, size_t size_groups, size_t crawled,
                            size_t hard_link_aliases, double seconds);

std::string hash_group_line(size_t groups, size_t candidates, double seconds, double total_seconds);

// A path list as `["/a", "/b"]`, with quotes, backslashes and control characters escaped.
std::string quoted_path_list(const std::vector<std::string>& paths);

}  // namespace orvc::duplicates
