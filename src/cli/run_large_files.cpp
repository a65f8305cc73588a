#include <fmt/format.h>

#include <algorithm>
#include <limits>
#include <string>
#include <vector>

#include "cli/console.hpp"
#include "cli/flows.hpp"
#include "cli/progress_line.hpp"
#include "cli/removal_gate.hpp"
#include "cli/stop_signals.hpp"
#include "large_files/large_file_finder.hpp"
#include "removal/cleanup.hpp"
#include "util/blocking_job.hpp"
#include "util/stop_request.hpp"
#include "util/text.hpp"

namespace orvc::cli {
namespace {

constexpr size_t kShownFiles = 100;

uint64_t total_size(const std::vector<large_files::LargeFile>& files) {
  uint64_t total = 0;
  for (const auto& file : files) {
    const uint64_t room = std::numeric_limits<uint64_t>::max() - total;
    total = file.size > room ? std::numeric_limits<uint64_t>::max() : total + file.size;
  }
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

}  // namespace

int run_large_files(const LargeFiles& command) {
  if (command.apply && !removal_allowed()) return 1;
  auto job = with_progress([&] {
    return run_blocking([&] {
      return large_files::find_large_files(command.path, command.threshold_mb, command.age_days);
    });
  });
  // An interrupted crawl is incomplete: no part of its report is shown, the heading included.
  if (stop_requested()) return stopped_status();
  const std::string label = command.path.empty() ? "home folder" : command.path;
  print_line(bold("Finding large files (≥") + " " +
             cyan(std::to_string(command.threshold_mb) + " MB, ≥" +
                  std::to_string(command.age_days) + "d old") +
             " " + bold(") under " + label));
  const auto found = job ? std::move(*job) : failure(job.error());
  if (!found) {
    print_error_line(red("Large-files scan failed:") + " " + found.error());
    return 1;
  }
  if (found->empty()) {
    print_line(green("  No matching large/old files found."));
    return 0;
  }

  print_files(*found);
  const std::string total = format_size(total_size(*found));
  print_line();
  print_line("  " + bold(std::to_string(found->size()) + " files, " + total + " total"));
  if (!command.apply) {
    print_line(
        "  " +
        yellow("DRY RUN — nothing was deleted. Re-run with --apply to move these to Trash."));
    return 0;
  }

  removal::CleanupRequest request{{}, "cli_large_files"};
  request.paths.reserve(found->size());
  for (const auto& file : *found) request.paths.push_back(file.path);
  const auto outcome = with_progress([&] { return removal::run_cleanup(request); });
  if (!outcome) {
    print_error_line("  " + red("Some items could not be moved:") + " " + outcome.error());
    return 1;
  }
  // Only what was moved counts: a protected file is passed over without failing the run.
  std::vector<large_files::LargeFile> moved;
  for (const auto& file : *found) {
    if (outcome->contains(file.path)) moved.push_back(file);
  }
  print_line("  " + green("Moved " + format_size(total_size(moved)) + " to Trash (recoverable)."));
  return 0;
}

}  // namespace orvc::cli
