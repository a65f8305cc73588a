#include "util/work_progress.hpp"

namespace orvc {

namespace {
constinit WorkProgress progress_now;
}  // namespace

WorkProgress& work_progress() {
  return progress_now;
}

void begin_phase(WorkPhase phase, uint64_t total) {
  WorkProgress& progress = progress_now;
  progress.seen.store(0, std::memory_order_relaxed);
  progress.bytes.store(0, std::memory_order_relaxed);
  progress.done.store(0, std::memory_order_relaxed);
  progress.total.store(total, std::memory_order_relaxed);
  progress.phase.store(phase, std::memory_order_relaxed);
}

}  // namespace orvc
