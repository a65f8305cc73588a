#pragma once
// Concurrency for blocking file-system work, apart from the processor count.
//
// A walk of a tree whose metadata is not in memory spends its time waiting for the device, one
// read per blocked thread; with one thread per processor only a couple of reads are ever in
// flight. The I/O arena is a oneTBB arena with many more threads than processors: work run in
// it (parallel_for, parallel_for_each with a feeder) keeps that many reads queued. On a warm
// cache the extra threads only get in each other's way, so a walk starts on the ordinary pool
// and moves to the I/O arena once a CacheProbe has seen its metadata calls wait on the device.
// The arena is built on first use and kept until exit; building it never fails (a smaller arena
// results when threads cannot be had).
#include <oneapi/tbb/task_arena.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <utility>

namespace orvc {

// Threads for blocking walks: 16 per online processor, clamped to 16..64; 32 when unknown.
unsigned io_arena_width(std::optional<unsigned> online_processors);

// The process-wide I/O arena.
tbb::task_arena& io_arena();

// Runs `work` inside the I/O arena and returns its result. Nested parallel algorithms inside
// `work` use the arena's threads.
template <typename F>
decltype(auto) run_in_io_arena(F&& work) {
  return io_arena().execute(std::forward<F>(work));
}

// Runs `count` copies of `work` side by side in the I/O arena and waits for all of them: at
// most `count` blocking reads at once, however wide the arena is. The copies share out the work
// themselves (a shared counter); the calling thread runs copies too.
void run_side_by_side(size_t count, const std::function<void()>& work);

// Tells a cold cache from a warm one by how long a walk's metadata calls take. A cached call
// returns in a microsecond or two; one that waits on the device takes tens of microseconds or
// more. Slow calls can be a thread losing its processor on a busy machine, so the walk counts
// as cold only once a large share (one in eight) of the timed calls are slow. Thread-safe; callers
// add their counts in batches (one folder at a time) to keep the shared counters quiet.
class CacheProbe {
 public:
  static constexpr std::chrono::nanoseconds kSlowCall = std::chrono::microseconds(40);

  // Adds `timed` timed calls, `slow` of which took kSlowCall or longer.
  void add(uint32_t timed, uint32_t slow) noexcept;
  // Adds one timed call. Calls are gathered per thread and added 32 at a time, so that threads
  // measuring side by side do not contend for the counters.
  void record(bool slow) noexcept;

  bool cold() const noexcept { return cold_.load(std::memory_order_relaxed); }

 private:
  static constexpr uint64_t kWindow = 8192;
  static constexpr uint64_t kLeastTimed = 64;
  std::atomic<uint64_t> timed_{0};
  std::atomic<uint64_t> slow_{0};
  std::atomic<bool> cold_{false};
};

// Runs one metadata call and, when `probe` is given, tells it how long the call took. Walks
// pass no probe once they run in the I/O arena, where the answer no longer matters.
template <typename F>
decltype(auto) probed_call(CacheProbe* probe, F&& call) {
  if (!probe) return std::forward<F>(call)();
  struct Report {
    CacheProbe& probe;
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    ~Report() { probe.record(std::chrono::steady_clock::now() - start >= CacheProbe::kSlowCall); }
  } report{*probe};
  return std::forward<F>(call)();
}

// Runs a folder listing and tells `probe` how long it took for what it returned: a listing of
// n entries counts as 1 + n/64 calls, all slow when it took kSlowCall per call or longer, so a
// large folder listed from memory does not pass for a cold one. `entries(listing)` gives n.
template <typename List, typename Count>
auto probed_listing(CacheProbe* probe, List&& list, Count&& entries) {
  if (!probe) return std::forward<List>(list)();
  const auto start = std::chrono::steady_clock::now();
  auto listing = std::forward<List>(list)();
  const auto calls = static_cast<uint32_t>(1 + entries(listing) / 64);
  const bool slow = std::chrono::steady_clock::now() - start >= CacheProbe::kSlowCall * calls;
  probe->add(calls, slow ? calls : 0);
  return listing;
}

// Where a walk's next parallel step runs: on the calling arena while the cache looks warm, in
// the I/O arena from the moment the probe finds it cold. `wide` says whether the caller already
// runs in the I/O arena; `work(bool wide)` receives what its own nested steps should pass on.
template <typename F>
decltype(auto) run_wide_when_cold(const CacheProbe& probe, bool wide, F&& work) {
  if (!wide && probe.cold()) return run_in_io_arena([&] { return work(true); });
  return work(wide);
}

}  // namespace orvc
