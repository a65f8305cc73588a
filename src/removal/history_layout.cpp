#include "removal/history_layout.hpp"

#include <cstdint>
#include <limits>
#include <string>

#include "util/text.hpp"

namespace orvc::removal {
namespace {

class Cursor {
 public:
  explicit Cursor(std::string_view text) : rest_(text) {}

  bool literal(std::string_view expected) {
    if (!rest_.starts_with(expected)) return false;
    rest_.remove_prefix(expected.size());
    return true;
  }

  bool at_end() const { return rest_.empty(); }

  // A string without escapes or control characters; those are left to the JSON parser.
  std::optional<std::string> string() {
    if (!literal("\"")) return std::nullopt;
    for (size_t i = 0; i < rest_.size(); ++i) {
      const auto c = static_cast<unsigned char>(rest_[i]);
      if (c == '"') {
        std::string value(rest_.substr(0, i));
        rest_.remove_prefix(i + 1);
        return value;
      }
      if (c == '\\' || c < 0x20) return std::nullopt;
    }
    return std::nullopt;
  }

  // Digits only, no leading zero, within 64 bits.
  std::optional<uint64_t> unsigned_number() {
    size_t length = 0;
    uint64_t value = 0;
    while (length < rest_.size() && rest_[length] >= '0' && rest_[length] <= '9') {
      const auto digit = static_cast<uint64_t>(rest_[length] - '0');
      if (value > (std::numeric_limits<uint64_t>::max() - digit) / 10) return std::nullopt;
      value = value * 10 + digit;
      ++length;
    }
    if (length == 0 || (length > 1 && rest_[0] == '0')) return std::nullopt;
    rest_.remove_prefix(length);
    return value;
  }

  std::optional<int64_t> signed_number() {
    const bool negative = literal("-");
    const auto magnitude = unsigned_number();
    if (!magnitude) return std::nullopt;
    constexpr auto kMax = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
    if (!negative) {
      if (*magnitude > kMax) return std::nullopt;
      return static_cast<int64_t>(*magnitude);
    }
    if (*magnitude == 0 || *magnitude > kMax) return std::nullopt;  // "-0" and INT64_MIN: parser
    return -static_cast<int64_t>(*magnitude);
  }

 private:
  std::string_view rest_;
};

std::optional<DeletedFile> read_file(Cursor& in) {
  DeletedFile file;
  if (in.literal("\"trash_path\": ")) {
    file.trash_path = in.string();
    if (!file.trash_path || !in.literal(",\n      ")) return std::nullopt;
  }
  if (in.literal("\"trash_inode\": ")) {
    file.trash_inode = in.unsigned_number();
    if (!file.trash_inode || !in.literal(",\n      ")) return std::nullopt;
  }
  if (in.literal("\"record_inode\": ")) {
    file.record_inode = in.unsigned_number();
    if (!file.record_inode || !in.literal(",\n      ")) return std::nullopt;
  }
  if (!in.literal("\"original_path\": ")) return std::nullopt;
  auto original = in.string();
  if (!original || !in.literal(",\n      \"size\": ")) return std::nullopt;
  file.original_path = std::move(*original);
  const auto size = in.unsigned_number();
  if (!size || !in.literal(",\n      \"category\": ")) return std::nullopt;
  file.size = *size;
  auto category = in.string();
  if (!category || !in.literal(",\n      \"trashed_name\": ")) return std::nullopt;
  file.category = std::move(*category);
  if (!in.literal("null")) {
    file.trashed_name = in.string();
    if (!file.trashed_name) return std::nullopt;
  }
  if (!in.literal("\n    }")) return std::nullopt;
  return file;
}

}  // namespace

std::optional<CleanupSession> read_written_layout(std::string_view text) {
  if (!is_valid_utf8(text)) return std::nullopt;
  Cursor in(text);
  CleanupSession session;
  if (!in.literal("{\n  \"session_id\": ")) return std::nullopt;
  auto id = in.string();
  if (!id || !in.literal(",\n  \"timestamp\": ")) return std::nullopt;
  session.session_id = std::move(*id);
  auto timestamp = in.string();
  if (!timestamp || !in.literal(",\n  \"unix_timestamp\": ")) return std::nullopt;
  session.timestamp = std::move(*timestamp);
  const auto time = in.signed_number();
  if (!time || !in.literal(",\n  \"cleanup_type\": ")) return std::nullopt;
  session.unix_timestamp = *time;
  auto type = in.string();
  if (!type || !in.literal(",\n  \"deleted_files\": [")) return std::nullopt;
  session.cleanup_type = std::move(*type);
  if (!in.literal("]")) {
    do {
      if (!in.literal("\n    {\n      ")) return std::nullopt;
      auto file = read_file(in);
      if (!file) return std::nullopt;
      session.deleted_files.push_back(std::move(*file));
    } while (in.literal(","));
    if (!in.literal("\n  ]")) return std::nullopt;
  }
  if (!in.literal(",\n  \"total_bytes_freed\": ")) return std::nullopt;
  const auto total = in.unsigned_number();
  if (!total || !in.literal(",\n  \"status\": ")) return std::nullopt;
  session.total_bytes_freed = *total;
  auto status = in.string();
  if (!status || !in.literal("\n}") || !in.at_end()) return std::nullopt;
  session.status = std::move(*status);
  return session;
}

}  // namespace orvc::removal
