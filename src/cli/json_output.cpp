#include "cli/json_output.hpp"

#include <chrono>
#include <cstdio>

#include "cli/console.hpp"
#include "removal/session_id.hpp"
#include "util/base64.hpp"
#include "util/text.hpp"

namespace orvc::cli {
namespace {

constexpr size_t kFlushAt = 64 << 10;

std::string dumped(const JsonValue& value) {
  // Every text put in has been made valid UTF-8; replacing is only a safety net.
  return value.dump(-1, ' ', false, JsonValue::error_handler_t::replace);
}

}  // namespace

JsonDocument::JsonDocument(std::string_view command) {
  write("{\"schema\":" + dumped(kJsonSchema));
  has_members_.push_back(true);
  closers_.push_back('}');
  add("command", command);
}

JsonDocument::~JsonDocument() {
  while (!closers_.empty()) close();
  write("\n");
  flush();
  std::fflush(stdout);
}

void JsonDocument::start_value(std::string_view key) {
  if (has_members_.back()) write(",");
  has_members_.back() = true;
  if (closers_.back() == '}') write(dumped(key) + ":");
}

void JsonDocument::add(std::string_view key, const JsonValue& value) {
  start_value(key);
  write(dumped(value));
}

void JsonDocument::open_array(std::string_view key) {
  start_value(key);
  write("[");
  has_members_.push_back(false);
  closers_.push_back(']');
}

void JsonDocument::open_object(std::string_view key) {
  start_value(key);
  write("{");
  has_members_.push_back(false);
  closers_.push_back('}');
}

void JsonDocument::close() {
  write(std::string_view(&closers_.back(), 1));
  closers_.pop_back();
  has_members_.pop_back();
}

void JsonDocument::write(std::string_view text) {
  buffer_.append(text);
  if (buffer_.size() >= kFlushAt) flush();
}

void JsonDocument::flush() {
  std::fwrite(buffer_.data(), 1, buffer_.size(), stdout);
  buffer_.clear();
}

void write_json_failure(std::string_view message) {
  const JsonValue document = {{"schema", kJsonSchema}, {"error", lossy_utf8(message)}};
  const std::string text = dumped(document) + "\n";
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

int report_failure(ReportFormat format, std::string_view title, std::string_view message) {
  print_error_line(red(title) + " " + std::string(message));
  if (format == ReportFormat::Json)
    write_json_failure(std::string(title) + " " + std::string(message));
  return 1;
}

void set_path(JsonValue& object, const std::string& key, std::string_view raw_path) {
  if (is_valid_utf8(raw_path)) {
    object[key] = raw_path;
    return;
  }
  object[key] = lossy_utf8(raw_path);
  object[key + "_bytes"] = base64_encode(raw_path);
}

JsonValue path_object(std::string_view raw_path) {
  JsonValue object = JsonValue::object();
  set_path(object, "path", raw_path);
  return object;
}

void set_time(JsonValue& object, const std::string& key, std::optional<int64_t> seconds) {
  if (!seconds) {
    object[key] = nullptr;
    object[key + "_unix"] = nullptr;
    return;
  }
  const std::chrono::system_clock::time_point moment{std::chrono::seconds(*seconds)};
  object[key] = removal::rfc3339_utc(moment);
  object[key + "_unix"] = *seconds;
}

}  // namespace orvc::cli
