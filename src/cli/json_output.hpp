#pragma once
// The one JSON document of a --json run, written to standard output as it goes: members and
// array elements are small JSON values, one record at a time, so a listing of any
// length is never held as one tree. Text is UTF-8; the document ends with one line feed.
#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/command.hpp"

namespace orvc::cli {

inline constexpr std::string_view kJsonSchema = "orvc/1";

// Members keep the order they are added in, so every record reads in one fixed order.
using JsonValue = nlohmann::ordered_json;

class JsonDocument {
 public:
  // Writes {"schema":"orvc/1","command":<command>.
  explicit JsonDocument(std::string_view command);
  // Closes whatever is still open and writes the line feed.
  ~JsonDocument();
  JsonDocument(const JsonDocument&) = delete;
  JsonDocument& operator=(const JsonDocument&) = delete;

  // In an object: one member. In an array: `key` is ignored and `value` is an element.
  void add(std::string_view key, const JsonValue& value);
  void add(const JsonValue& element) { add({}, element); }
  void open_array(std::string_view key = {});
  void open_object(std::string_view key = {});
  void close();

 private:
  void start_value(std::string_view key);
  void write(std::string_view text);
  void flush();

  std::string buffer_;
  std::vector<bool> has_members_;  // per open level
  std::vector<char> closers_;
};

// {"schema":"orvc/1","error":<message>} on standard output: what a --json run prints when it
// fails before it has a report. The failure line itself goes to standard error as without --json.
void write_json_failure(std::string_view message);

// A failure before any report: red `title` and `message` on standard error and, for --json,
// the failure document with both. Returns the exit status, 1.
int report_failure(ReportFormat format, std::string_view title, std::string_view message);

// `object[key]` is the path as UTF-8 text. A path that is not valid UTF-8 shows U+FFFD there, and
// its exact bytes, base64, go in `key` + "_bytes", so that a script can still act on it.
void set_path(JsonValue& object, const std::string& key, std::string_view raw_path);
JsonValue path_object(std::string_view raw_path);

// `object[key]` in RFC 3339 (UTC) and `key` + "_unix" in whole seconds; null for both when the
// moment is not known.
void set_time(JsonValue& object, const std::string& key, std::optional<int64_t> seconds);

}  // namespace orvc::cli
