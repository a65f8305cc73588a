#pragma once
// The live progress line: while long work runs, one status line on standard error tells its
// phase, the entries or files seen, the bytes so far and, for hashing and moving, how many are
// done of how many. A timer thread reads the work counters (util/work_progress) at most ten
// times a second; the work itself only adds to them. Nothing is drawn for work done within half
// a second, and the line is erased when the work ends, so no report ever follows it.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "util/work_progress.hpp"

namespace orvc::cli {

// Decided once by the main routine, before any work (see wants_progress).
void enable_progress(bool enabled);

// One stretch of long work, from construction to destruction.
class ProgressLine {
 public:
  ProgressLine();
  ~ProgressLine();
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

 private:
  void run();

  std::mutex lock_;
  std::condition_variable wake_;
  bool stopping_ = false;
  std::thread timer_;
};

// Runs `work` with the progress line shown; it is gone when the result is returned.
template <typename Work>
auto with_progress(Work&& work) {
  const ProgressLine line;
  return work();
}

inline constexpr std::chrono::milliseconds kProgressDelay{500};
inline constexpr std::chrono::milliseconds kProgressInterval{100};

struct ProgressSnapshot {
  WorkPhase phase = WorkPhase::None;
  uint64_t seen = 0;
  uint64_t bytes = 0;
  uint64_t done = 0;
  uint64_t total = 0;
};

// "Scanning: 120482 entries, 3.2 GB"; empty when no phase is under way.
std::string progress_text(const ProgressSnapshot& snapshot);

}  // namespace orvc::cli
