#pragma once
// The one process-wide request to stop, made when the user interrupts the run (SIGINT, SIGTERM).
// Walks and hashing read it at a cheap cadence and wind down with what they have; removals start
// no further move but finish the ones under way. Once made, the request is never withdrawn.
#include <atomic>

namespace orvc {

// The flag that long work passes to the walks it starts.
std::atomic<bool>& cancel_flag();

inline bool stop_requested() {
  return cancel_flag().load(std::memory_order_relaxed);
}

// Async-signal-safe: called from the signal handler.
void request_stop(int signal_number) noexcept;

// The signal that asked to stop; 0 when none did.
int stop_signal() noexcept;

}  // namespace orvc
