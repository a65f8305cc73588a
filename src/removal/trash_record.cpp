#include "removal/trash_record.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "removal/path_names.hpp"
#include "util/text.hpp"

namespace orvc::removal {
namespace {

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::optional<std::string> percent_decode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out.push_back(text[i]);
      continue;
    }
    if (i + 2 >= text.size()) return std::nullopt;
    const int high = hex_value(text[i + 1]);
    const int low = hex_value(text[i + 2]);
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
  const int fd = openat(info_dir_fd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return failure("cannot read '" + lossy_utf8(name) + "': " + os_error_text(errno));
  std::string text;
  char buffer[4096];
  while (text.size() < (size_t{1} << 16)) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int error = errno;
      close(fd);
      return failure("cannot read '" + lossy_utf8(name) + "': " + os_error_text(error));
    }
    if (n == 0) break;
    text.append(buffer, static_cast<size_t>(n));
    // A regular file read short is read to its end; history reads thousands of records.
    if (static_cast<size_t>(n) < sizeof buffer) break;
  }
  close(fd);
  auto record = parse_trash_record(text);
  if (!record) return failure("'" + lossy_utf8(name) + "': " + record.error());
  return record;
}

}  // namespace orvc::removal
