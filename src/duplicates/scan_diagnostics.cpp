#include "duplicates/scan_diagnostics.hpp"

#include <fmt/format.h>

#include "util/text.hpp"

namespace orvc::duplicates {
namespace {

std::string quoted(std::string_view path) {
  std::string out = "\"";
  for (const char c : lossy_utf8(path)) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
          out += fmt::format("\\u{{{:x}}}", static_cast<unsigned char>(c));
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

}  // namespace

std::string quoted_path_list(const std::vector<std::string>& paths) {
  std::string out = "[";
  for (size_t i = 0; i < paths.size(); ++i) {
    if (i > 0) out += ", ";
    out += quoted(paths[i]);
  }
  return out + "]";
}

std::string crawl_line(size_t candidates, const std::vector<std::string>& roots, bool skip_dev_dirs,
                       double seconds) {
  return fmt::format("[dup-scan] crawl: {} files under {} (skip_dev_dirs={}) in {:.2f}s",
                     candidates, quoted_path_list(roots), skip_dev_dirs, seconds);
}

std::string size_group_line(size_t candidates, size_t size_groups, size_t crawled,
                            size_t hard_link_aliases, double seconds) {
  return fmt::format(
      "[dup-scan] size-group: {} candidate files in {} same-size buckets (of {} crawled; {} "
      "hard-link aliases skipped) in {:.3f}s",
      candidates, size_groups, crawled, hard_link_aliases, seconds);
}

std::string hash_group_line(size_t groups, size_t candidates, double seconds,
                            double total_seconds) {
  return fmt::format(
      "[dup-scan] hash+group: {} duplicate groups from {} candidates in {:.2f}s (total scan "
      "{:.2f}s)",
      groups, candidates, seconds, total_seconds);
}

}  // namespace orvc::duplicates
