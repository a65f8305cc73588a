#pragma once
// Counters of the long work under way, for the front end's live progress line, which reads them
// on a timer. Subsystems set the phase and add to the counters in batches (per folder, per file,
// per item), with relaxed atomic adds only; they never know whether anyone is looking.
#include <atomic>
#include <cstdint>

namespace orvc {

enum class WorkPhase : uint8_t {
  None,
  Sweeping,    // disk-usage sweep: entries listed, bytes of the files measured
  Collecting,  // file collector: regular files, their bytes
  Hashing,     // duplicate hashing: files done of total, bytes read
  Measuring,   // developer junk: entries, bytes of the items measured
  Checking,    // removal: items examined of total
  Moving,      // removal: items moved of total, their bytes
  Restoring,   // undo: items put back of total
};

struct WorkProgress {
  std::atomic<WorkPhase> phase{WorkPhase::None};
  std::atomic<uint64_t> seen{0};   // entries or files looked at
  std::atomic<uint64_t> bytes{0};  // bytes counted, read or moved
  std::atomic<uint64_t> done{0};   // of `total`
  std::atomic<uint64_t> total{0};  // 0 when the phase has no count of its own
};

WorkProgress& work_progress();

// Starts a phase with fresh counters.
void begin_phase(WorkPhase phase, uint64_t total = 0);

inline void add_seen(uint64_t entries, uint64_t bytes = 0) {
  WorkProgress& progress = work_progress();
  if (entries) progress.seen.fetch_add(entries, std::memory_order_relaxed);
  if (bytes) progress.bytes.fetch_add(bytes, std::memory_order_relaxed);
}

inline void add_done(uint64_t items, uint64_t bytes = 0) {
  WorkProgress& progress = work_progress();
  if (items) progress.done.fetch_add(items, std::memory_order_relaxed);
  if (bytes) progress.bytes.fetch_add(bytes, std::memory_order_relaxed);
}

}  // namespace orvc
