#include <fmt/format.h>

#include <ctime>
#include <string>
#include <vector>

#include "cli/command.hpp"
#include "cli/console.hpp"
#include "cli/flows.hpp"
#include "removal/history.hpp"
#include "removal/trash_lookup.hpp"
#include "safety/path_rules.hpp"
#include "util/text.hpp"

namespace orvc::cli {
namespace {

constexpr size_t kShownItems = 10;

// The command a run came from.
std::string kind_of_run(const removal::CleanupSession& session) {
  std::string kind = session.cleanup_type;
  if (kind.starts_with("cli_")) kind.erase(0, 4);
  for (char& c : kind) {
    if (c == '_') c = '-';
  }
  if (session.status == "pending") kind += " (interrupted)";
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

}  // namespace

Result<Command> parse_history(std::span<const std::string> rest) {
  History command;
  for (size_t i = 0; i < rest.size(); ++i) {
    if (rest[i] != "--path") return failure("Unknown flag for history: " + rest[i]);
    if (i + 1 >= rest.size()) return failure("--path requires a directory argument");
    command.path = expand_tilde(rest[++i]);
  }
  return command;
}

int run_history(const History& command) {
  const auto loaded = removal::load_history();
  if (!loaded) {
    print_error_line(red("Error:") + " " + loaded.error());
    return 1;
  }
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
