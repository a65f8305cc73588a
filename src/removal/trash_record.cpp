#include "removal/trash_record.hpp"

#include "platform/small_file.hpp"
#include "removal/path_names.hpp"
#include "util/text.hpp"

namespace orvc::removal {

std::optional<std::string> percent_decode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out.push_back(text[i]);
      continue;
    }
    if (i + 2 >= text.size()) return std::nullopt;
    const int high = hex_digit_value(text[i + 1]);
    const int low = hex_digit_value(text[i + 2]);
    if (high < 0 || low < 0) return std::nullopt;
    out.push_back(static_cast<char>(high * 16 + low));
    i += 2;
  }
  return out;
}

Result<TrashRecord> parse_trash_record(std::string_view text) {
  TrashRecord record;
  bool in_group = false;
  bool has_path = false;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (line.starts_with('[')) {
      in_group = line == "[Trash Info]";
      continue;
    }
    if (!in_group) continue;
    if (line.starts_with("Path=") && !has_path) {
      auto decoded = percent_decode(line.substr(5));
      if (!decoded) return failure("malformed Path");
      record.original_path = std::move(*decoded);
      has_path = true;
    } else if (line.starts_with("DeletionDate=")) {
      record.deletion_date = std::string(line.substr(13));
    }
  }
  if (!has_path) return failure("no Path in the record");
  // A relative Path belongs to a volume Trash and is read against that volume's top folder; it
  // may never climb out of it.
  if (record.original_path.empty()) return failure("the Path is empty");
  if (record.original_path.front() != '/' && has_parent_marker(record.original_path)) {
    return failure("the relative Path leaves its volume");
  }
  return record;
}

Result<TrashRecord> read_trash_record(int info_dir_fd, const std::string& name) {
  const auto text = platform::read_small_file_at(info_dir_fd, name, platform::FinalLink::Refuse);
  if (!text) return failure("cannot read '" + lossy_utf8(name) + "': " + text.error());
  auto record = parse_trash_record(*text);
  if (!record) return failure("'" + lossy_utf8(name) + "': " + record.error());
  return record;
}

}  // namespace orvc::removal
