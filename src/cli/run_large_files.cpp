#include <fmt/format.h>

#include <algorithm>
#include <string>
#include <vector>

#include "cli/console.hpp"
#include "cli/flows.hpp"
#include "cli/json_removal.hpp"
#include "cli/progress_line.hpp"
#include "cli/removal_gate.hpp"
#include "cli/stop_signals.hpp"
#include "large_files/large_file_finder.hpp"
#include "removal/cleanup.hpp"
#include "util/blocking_job.hpp"
#include "util/saturating.hpp"
#include "util/stop_request.hpp"
#include "util/text.hpp"

namespace orvc::cli {
namespace {

constexpr size_t kShownFiles = 100;
constexpr removal::CleanupType kCleanupType = removal::CleanupType::LargeFiles;

struct Search {
  std::vector<std::string> roots;
  std::vector<large_files::LargeFile> files;
};

uint64_t total_size(const std::vector<large_files::LargeFile>& files) {
  uint64_t total = 0;
  for (const auto& file : files) total = saturating_add(total, file.size);
  return total;
}

void print_files(const std::vector<large_files::LargeFile>& files) {
  const size_t shown = std::min(files.size(), kShownFiles);
  for (size_t i = 0; i < shown; ++i) {
    const auto& file = files[i];
    print_line(fmt::format("  {:>10}  {}  {}", format_size(file.size),
                           dim(std::to_string(file.age_days) + "d"), lossy_utf8(file.path)));
  }
  if (files.size() > shown) {
    print_line("  " + dim("… and " + std::to_string(files.size() - shown) + " more"));
  }
}

removal::CleanupReport move_to_trash(const std::vector<large_files::LargeFile>& files) {
  removal::CleanupRequest request{{}, kCleanupType};
  request.paths.reserve(files.size());
  for (const auto& file : files) request.paths.push_back(file.path);
  return with_progress([&] { return removal::run_cleanup_report(request); });
}

// Every file, written one record at a time: a run may list very many.
void write_json(const LargeFiles& command, const Search& search,
                const std::optional<removal::CleanupReport>& removal) {
  JsonDocument document("large-files");
  document.open_array("roots");
  for (const auto& root : search.roots) document.add(path_object(root));
  document.close();
  document.add("options", {{"threshold_mb", command.threshold_mb},
                           {"threshold_bytes", large_files::threshold_bytes(command.threshold_mb)},
                           {"age_days", command.age_days},
                           {"apply", command.apply}});
  document.open_array("files");
  for (const auto& file : search.files) {
    JsonValue record = path_object(file.path);
    record["size"] = file.size;
    record["allocated"] = file.allocated;
    set_time(record, "modified", file.modified_secs);
    record["age_days"] = file.age_days;
    document.add(record);
  }
  document.close();
  document.add("file_count", search.files.size());
  document.add("total_bytes", total_size(search.files));
  if (removal) add_removal(document, kCleanupType, *removal);
}

}  // namespace

int run_large_files(const LargeFiles& command) {
  const bool json = command.format == ReportFormat::Json;
  if (command.apply && !removal_allowed(command.format)) return 1;
  auto job = with_progress([&] {
    return run_blocking([&]() -> Result<Search> {
      auto roots = ORVC_TRY(large_files::large_file_search_roots(command.path));
      auto files =
          large_files::find_large_files_under(roots, command.threshold_mb, command.age_days);
      return Search{std::move(roots), std::move(files)};
    });
  });
  // An interrupted crawl is incomplete: no part of its report is shown, the heading included.
  if (stop_requested()) return stopped_status();
  const std::string label = command.path.empty() ? "home folder" : command.path;
  if (!json) {
    print_line(bold("Finding large files (≥") + " " +
               cyan(std::to_string(command.threshold_mb) + " MB, ≥" +
                    std::to_string(command.age_days) + "d old") +
               " " + bold(") under " + label));
  }
  const auto found = job ? std::move(*job) : failure(job.error());
  if (!found) return report_failure(command.format, "Large-files scan failed:", found.error());
  const std::vector<large_files::LargeFile>& files = found->files;
  if (json) {
    std::optional<removal::CleanupReport> removal;
    if (command.apply && !files.empty()) removal = move_to_trash(files);
    if (removal && !removal->outcome) {
      print_error_line("  " + red("Some items could not be moved:") + " " +
                       removal->outcome.error());
    }
    write_json(command, *found, removal);
    return removal && !removal->outcome ? 1 : 0;
  }
  if (files.empty()) {
    print_line(green("  No matching large/old files found."));
    return 0;
  }

  print_files(files);
  const std::string total = format_size(total_size(files));
  print_line();
  print_line("  " + bold(std::to_string(files.size()) + " files, " + total + " total"));
  if (!command.apply) {
    print_line(
        "  " +
        yellow("DRY RUN — nothing was deleted. Re-run with --apply to move these to Trash."));
    return 0;
  }

  const auto outcome = move_to_trash(files).outcome;
  if (!outcome) {
    print_error_line("  " + red("Some items could not be moved:") + " " + outcome.error());
    return 1;
  }
  // Only what was moved counts: a protected file is passed over without failing the run.
  std::vector<large_files::LargeFile> moved;
  for (const auto& file : files) {
    if (outcome->contains(file.path)) moved.push_back(file);
  }
  print_line("  " + green("Moved " + format_size(total_size(moved)) + " to Trash (recoverable)."));
  return 0;
}

}  // namespace orvc::cli
