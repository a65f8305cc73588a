#include "removal/history_json.hpp"

#include <limits>
#include <nlohmann/json.hpp>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "removal/history_layout.hpp"

namespace orvc::removal {
namespace {

using nlohmann::json;

struct DuplicateMember : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Paths that are not valid UTF-8 are recorded lossily rather than losing the record.
void append_json_string(std::string& out, const std::string& text) {
  out += json(text).dump(-1, ' ', false, json::error_handler_t::replace);
}

Result<const json*> member(const json& object, const char* name) {
  const auto found = object.find(name);
  if (found == object.end()) return failure(std::string("missing field `") + name + "`");
  return &*found;
}

Status expect(bool ok, const json& value, const char* expected) {
  if (ok) return {};
  return failure(std::string("invalid type: ") + value.type_name() + ", expected " + expected);
}

Result<std::string> string_member(const json& object, const char* name) {
  const json* value = ORVC_TRY(member(object, name));
  ORVC_TRY(expect(value->is_string(), *value, "a string"));
  return value->get<std::string>();
}

Result<uint64_t> unsigned_member(const json& object, const char* name) {
  const json* value = ORVC_TRY(member(object, name));
  const bool ok =
      value->is_number_unsigned() || (value->is_number_integer() && value->get<int64_t>() >= 0);
  ORVC_TRY(expect(ok, *value, "u64"));
  return value->get<uint64_t>();
}

Result<int64_t> signed_member(const json& object, const char* name) {
  const json* value = ORVC_TRY(member(object, name));
  const bool ok = value->is_number_integer() &&
                  (!value->is_number_unsigned() ||
                   value->get<uint64_t>() <= uint64_t{std::numeric_limits<int64_t>::max()});
  ORVC_TRY(expect(ok, *value, "i64"));
  return value->get<int64_t>();
}

Result<DeletedFile> parse_file(const json& object) {
  ORVC_TRY(expect(object.is_object(), object, "struct DeletedFile"));
  DeletedFile file;
  file.original_path = ORVC_TRY(string_member(object, "original_path"));
  file.size = ORVC_TRY(unsigned_member(object, "size"));
  file.category = ORVC_TRY(string_member(object, "category"));
  if (const auto name = object.find("trashed_name"); name != object.end() && !name->is_null()) {
    ORVC_TRY(expect(name->is_string(), *name, "a string or null"));
    file.trashed_name = name->get<std::string>();
  }
  if (const auto path = object.find("trash_path"); path != object.end() && !path->is_null()) {
    ORVC_TRY(expect(path->is_string(), *path, "a string or null"));
    file.trash_path = path->get<std::string>();
  }
  for (const auto& [name, inode] : {std::pair{"trash_inode", &file.trash_inode},
                                    std::pair{"record_inode", &file.record_inode}}) {
    const auto found = object.find(name);
    if (found == object.end() || found->is_null()) continue;
    ORVC_TRY(expect(found->is_number_unsigned(), *found, "u64"));
    *inode = found->get<uint64_t>();
  }
  return file;
}

Result<CleanupSession> parse_document(const json& object) {
  ORVC_TRY(expect(object.is_object(), object, "struct CleanupSession"));
  CleanupSession session;
  session.session_id = ORVC_TRY(string_member(object, "session_id"));
  session.timestamp = ORVC_TRY(string_member(object, "timestamp"));
  session.unix_timestamp = ORVC_TRY(signed_member(object, "unix_timestamp"));
  session.cleanup_type = ORVC_TRY(string_member(object, "cleanup_type"));
  const json* files = ORVC_TRY(member(object, "deleted_files"));
  ORVC_TRY(expect(files->is_array(), *files, "a sequence"));
  for (const json& entry : *files) session.deleted_files.push_back(ORVC_TRY(parse_file(entry)));
  session.total_bytes_freed = ORVC_TRY(unsigned_member(object, "total_bytes_freed"));
  session.status = ORVC_TRY(string_member(object, "status"));
  return session;
}

}  // namespace

Result<std::string> session_to_json(const CleanupSession& session) {
  // The layout of nlohmann's two-space dump, written directly: a run's manifest can list
  // thousands of items, and building a document of them first costs more than the writing.
  try {
    std::string out;
    out.reserve(256 + session.deleted_files.size() * 160);
    out += "{\n  \"session_id\": ";
    append_json_string(out, session.session_id);
    out += ",\n  \"timestamp\": ";
    append_json_string(out, session.timestamp);
    out += ",\n  \"unix_timestamp\": " + std::to_string(session.unix_timestamp);
    out += ",\n  \"cleanup_type\": ";
    append_json_string(out, session.cleanup_type);
    out += ",\n  \"deleted_files\": [";
    for (size_t i = 0; i < session.deleted_files.size(); ++i) {
      const DeletedFile& file = session.deleted_files[i];
      out += i == 0 ? "\n    {\n      " : ",\n    {\n      ";
      // Written first and only when known, so the members after it keep their old shape.
      if (file.trash_path) {
        out += "\"trash_path\": ";
        append_json_string(out, *file.trash_path);
        out += ",\n      ";
      }
      if (file.trash_inode)
        out += "\"trash_inode\": " + std::to_string(*file.trash_inode) + ",\n      ";
      if (file.record_inode) {
        out += "\"record_inode\": " + std::to_string(*file.record_inode) + ",\n      ";
      }
      out += "\"original_path\": ";
      append_json_string(out, file.original_path);
      out += ",\n      \"size\": " + std::to_string(file.size);
      out += ",\n      \"category\": ";
      append_json_string(out, file.category);
      out += ",\n      \"trashed_name\": ";
      if (file.trashed_name) {
        append_json_string(out, *file.trashed_name);
      } else {
        out += "null";
      }
      out += "\n    }";
    }
    if (!session.deleted_files.empty()) out += "\n  ";
    out += "],\n  \"total_bytes_freed\": " + std::to_string(session.total_bytes_freed);
    out += ",\n  \"status\": ";
    append_json_string(out, session.status);
    out += "\n}";
    return out;
  } catch (const std::exception& e) {
    return failure(std::string("JSON serialization failed: ") + e.what());
  }
}

Result<CleanupSession> parse_session(std::string_view text) {
  // Manifests of big runs are megabytes; the layout this program writes is read directly.
  if (auto written = read_written_layout(text)) return std::move(*written);
  // nlohmann keeps the last of two equal members silently; the callback catches them.
  std::vector<std::set<std::string>> open_objects;
  const json::parser_callback_t watch = [&](int, json::parse_event_t event, json& parsed) {
    if (event == json::parse_event_t::object_start) {
      open_objects.emplace_back();
    } else if (event == json::parse_event_t::object_end) {
      open_objects.pop_back();
    } else if (event == json::parse_event_t::key) {
      const auto& name = parsed.get_ref<const std::string&>();
      if (!open_objects.back().insert(name).second) {
        throw DuplicateMember("duplicate field `" + name + "`");
      }
    }
    return true;
  };
  json document;
  try {
    document = json::parse(text.begin(), text.end(), watch);
  } catch (const std::exception& e) {
    return failure(e.what());
  }
  return parse_document(document);
}

}  // namespace orvc::removal
