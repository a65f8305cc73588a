#include "cli/progress_line.hpp"

#include <fmt/format.h>

#include <atomic>
#include <exception>

#include "cli/console.hpp"

namespace orvc::cli {
namespace {

std::atomic<bool> progress_enabled{false};

ProgressSnapshot take_snapshot() {
  const WorkProgress& now = work_progress();
  constexpr auto relaxed = std::memory_order_relaxed;
  return {now.phase.load(relaxed), now.seen.load(relaxed), now.bytes.load(relaxed),
          now.done.load(relaxed), now.total.load(relaxed)};
}

std::string counted(const ProgressSnapshot& s, std::string_view title, std::string_view unit) {
  return fmt::format("{}: {} {}, {}", title, s.seen, unit, format_size(s.bytes));
}

std::string of_total(const ProgressSnapshot& s, std::string_view title, std::string_view unit) {
  return fmt::format("{}: {}/{} {}", title, s.done, s.total, unit);
}

}  // namespace

void enable_progress(bool enabled) {
  progress_enabled.store(enabled, std::memory_order_relaxed);
}

std::string progress_text(const ProgressSnapshot& s) {
  switch (s.phase) {
    case WorkPhase::None:
      return {};
    case WorkPhase::Sweeping:
      return counted(s, "Scanning", "entries");
    case WorkPhase::Collecting:
      return counted(s, "Collecting", "files");
    case WorkPhase::Measuring:
      return counted(s, "Measuring", "entries");
    case WorkPhase::Hashing:
      return of_total(s, "Hashing", "files") + ", " + format_size(s.bytes) + " read";
    case WorkPhase::Checking:
      return of_total(s, "Checking", "items");
    case WorkPhase::Moving:
      return of_total(s, "Moving to Trash", "items") + ", " + format_size(s.bytes);
    case WorkPhase::Restoring:
      return of_total(s, "Restoring", "items");
  }
  return {};
}

ProgressLine::ProgressLine() {
  begin_phase(WorkPhase::None);
  if (!progress_enabled.load(std::memory_order_relaxed)) return;
  try {
    // A timer thread: it sleeps between redraws, which no pool thread should do.
    timer_ = std::thread([this] { run(); });
  } catch (const std::exception&) {
    // No thread, no line: the work itself is not affected.
  }
}

ProgressLine::~ProgressLine() {
  if (timer_.joinable()) {
    {
      const std::lock_guard hold(lock_);
      stopping_ = true;
    }
    wake_.notify_all();
    timer_.join();
    clear_status_line();
  }
  begin_phase(WorkPhase::None);
}

void ProgressLine::run() {
  std::unique_lock hold(lock_);
  const auto stop = [this] { return stopping_; };
  if (wake_.wait_for(hold, kProgressDelay, stop)) return;
  do {
    const std::string text = progress_text(take_snapshot());
    if (!text.empty()) draw_status_line(text);
  } while (!wake_.wait_for(hold, kProgressInterval, stop));
}

}  // namespace orvc::cli
