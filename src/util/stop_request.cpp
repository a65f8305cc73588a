#include "util/stop_request.hpp"

namespace orvc {
namespace {

// Constant-initialised and lock-free, so a signal handler may store to them.
constinit std::atomic<bool> requested{false};
constinit std::atomic<int> requesting_signal{0};
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free);

}  // namespace

std::atomic<bool>& cancel_flag() {
  return requested;
}

void request_stop(int signal_number) noexcept {
  requesting_signal.store(signal_number, std::memory_order_relaxed);
  requested.store(true, std::memory_order_relaxed);
}

int stop_signal() noexcept {
  return requesting_signal.load(std::memory_order_relaxed);
}

}  // namespace orvc
