#include <fmt/format.h>

#include <ctime>
#include <string>
#include <vector>

#include "cli/command.hpp"
#include "cli/console.hpp"
#include "cli/flows.hpp"
#include "cli/json_output.hpp"
#include "removal/history.hpp"
#include "removal/history_read.hpp"
#include "removal/trash_lookup.hpp"
#include "safety/path_rules.hpp"
#include "util/text.hpp"

namespace orvc::cli {
namespace {

constexpr size_t kShownItems = 10;

// The command a run came from: "cli_large_files" is large-files.
std::string command_of(const removal::CleanupSession& session) {
  std::string kind = session.cleanup_type;
  if (kind.starts_with("cli_")) kind.erase(0, 4);
  for (char& c : kind) {
    if (c == '_') c = '-';
  }
  return kind;
}

std::string kind_of_run(const removal::CleanupSession& session) {
  std::string kind = command_of(session);
  if (removal::session_status_named(session.status) == removal::SessionStatus::Pending) {
    kind += " (interrupted)";
  }
  return kind;
}

std::string local_time(int64_t seconds) {
  const auto moment = static_cast<std::time_t>(seconds);
  std::tm local{};
  localtime_r(&moment, &local);
  return fmt::format("{:04}-{:02}-{:02} {:02}:{:02}:{:02}", local.tm_year + 1900, local.tm_mon + 1,
                     local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
}

std::string shown_path(const removal::DeletedFile& file, const removal::RecordedItem& item) {
  return lossy_utf8(item.original.empty() ? file.original_path : item.original);
}

std::string state_mark(removal::ItemState state) {
  switch (state) {
    case removal::ItemState::InTrash:
      return green("in Trash");
    case removal::ItemState::Replaced:
      return yellow("replaced");
    case removal::ItemState::Gone:
      break;
  }
  return dim("gone    ");
}

bool has_item_under(const removal::CleanupSession& session,
                    const std::vector<removal::RecordedItem>& located, const std::string& base) {
  for (size_t i = 0; i < located.size(); ++i) {
    const std::string& original = located[i].original;
    const std::string path =
        original.empty() ? removal::absolute_normalised(session.deleted_files[i].original_path)
                         : original;
    if (safety::path_starts_with(path, base)) return true;
  }
  return false;
}

void print_run(const removal::CleanupSession& session,
               const std::vector<removal::RecordedItem>& located) {
  size_t in_trash = 0;
  for (const auto& item : located) in_trash += item.state == removal::ItemState::InTrash;
  print_line();
  print_line("  " + bold(local_time(session.unix_timestamp)) + "  " + cyan(kind_of_run(session)) +
             "  " + std::to_string(located.size()) + " item(s), " +
             format_size(session.total_bytes_freed) + ", " + std::to_string(in_trash) +
             " in the Trash  " + dim("id " + session.session_id.substr(0, 8)));
  const size_t shown = std::min(located.size(), kShownItems);
  for (size_t i = 0; i < shown; ++i) {
    print_line("    " + state_mark(located[i].state) + "  " +
               shown_path(session.deleted_files[i], located[i]));
  }
  if (located.size() > shown) {
    print_line("    " + dim("… and " + std::to_string(located.size() - shown) + " more"));
  }
}

std::string_view state_name(removal::ItemState state) {
  switch (state) {
    case removal::ItemState::InTrash:
      return "in_trash";
    case removal::ItemState::Replaced:
      return "replaced";
    case removal::ItemState::Gone:
      break;
  }
  return "gone";
}

JsonValue item_record(const removal::DeletedFile& file, const removal::RecordedItem& item) {
  JsonValue record = path_object(item.original.empty() ? file.original_path : item.original);
  record["size"] = file.size;
  record["category"] = lossy_utf8(file.category);
  record["trashed_name"] =
      file.trashed_name ? JsonValue(lossy_utf8(*file.trashed_name)) : JsonValue(nullptr);
  if (item.files_dir.empty()) {
    record["trash_path"] = nullptr;
  } else {
    set_path(record, "trash_path", join_path(item.files_dir, item.name));
  }
  record["state"] = state_name(item.state);
  if (item.state == removal::ItemState::Replaced) {
    record["replaced_because"] = lossy_utf8(item.replaced_because);
  }
  if (!item.deletion_date.empty()) record["deletion_date"] = lossy_utf8(item.deletion_date);
  return record;
}

void write_json(const History& command, const removal::LoadedHistory& history,
                const std::vector<std::vector<removal::RecordedItem>>& located,
                const std::vector<size_t>& runs) {
  JsonDocument document("history");
  JsonValue options = {{"path", nullptr}};
  if (command.path) set_path(options, "path", *command.path);
  document.add("options", options);
  document.open_array("runs");
  for (const size_t s : runs) {
    const removal::CleanupSession& session = history.sessions[s];
    document.open_object();
    document.add("session_id", session.session_id);
    document.add("timestamp", session.timestamp);
    document.add("unix_timestamp", session.unix_timestamp);
    document.add("cleanup_type", lossy_utf8(session.cleanup_type));
    document.add("command", lossy_utf8(command_of(session)));
    document.add("status", lossy_utf8(session.status));
    document.add("total_bytes_freed", session.total_bytes_freed);
    size_t in_trash = 0;
    document.open_array("items");
    for (size_t i = 0; i < located[s].size(); ++i) {
      in_trash += located[s][i].state == removal::ItemState::InTrash;
      document.add(item_record(session.deleted_files[i], located[s][i]));
    }
    document.close();
    document.add("item_count", located[s].size());
    document.add("in_trash_count", in_trash);
    document.close();
  }
  document.close();
  document.add("run_count", runs.size());
  JsonValue problems = JsonValue::array();
  for (const auto& problem : history.problems) problems.push_back(lossy_utf8(problem));
  document.add("unreadable_manifests", problems);
}

}  // namespace

Result<Command> parse_history(std::span<const std::string> rest) {
  History command;
  for (size_t i = 0; i < rest.size(); ++i) {
    if (rest[i] == "--json") {
      command.format = ReportFormat::Json;
      continue;
    }
    if (rest[i] != "--path") return failure("Unknown flag for history: " + rest[i]);
    if (i + 1 >= rest.size()) return failure("--path requires a directory argument");
    command.path = expand_tilde(rest[++i]);
  }
  return command;
}

int run_history(const History& command) {
  const auto loaded = removal::load_history();
  if (!loaded) return report_failure(command.format, "Error:", loaded.error());
  for (const auto& problem : loaded->problems) {
    print_error_line("[history] skipped unreadable manifest " + problem);
  }
  const auto& sessions = loaded->sessions;
  const auto located =
      removal::survey_sessions(sessions, removal::trash_search_list(), kShownItems);
  std::optional<std::string> base;
  if (command.path) base = removal::absolute_normalised(*command.path);

  std::vector<size_t> runs;
  for (size_t s = 0; s < sessions.size(); ++s) {
    if (!base || has_item_under(sessions[s], located[s], *base)) runs.push_back(s);
  }
  if (command.format == ReportFormat::Json) {
    write_json(command, *loaded, located, runs);
    return 0;
  }
  const std::string under = base ? " under " + lossy_utf8(*base) : "";
  if (runs.empty()) {
    print_line(green("  No recorded removals" + under + "."));
    return 0;
  }
  print_line(bold("Cleanup history:") + " " + dim(std::to_string(runs.size()) + " run(s)" + under));
  for (const size_t s : runs) print_run(sessions[s], located[s]);
  return 0;
}

}  // namespace orvc::cli
