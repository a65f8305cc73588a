#include "util/io_arena.hpp"

#include <oneapi/tbb/global_control.h>
#include <oneapi/tbb/task_group.h>

#include <algorithm>
#include <exception>
#include <memory>
#include <thread>

namespace orvc {

unsigned io_arena_width(std::optional<unsigned> online_processors) {
  if (!online_processors) return 32;
  const unsigned long wanted = 16ul * *online_processors;
  return static_cast<unsigned>(std::clamp(wanted, 16ul, 64ul));
}

void CacheProbe::add(uint32_t timed, uint32_t slow) noexcept {
  const uint64_t all_timed = timed_.fetch_add(timed, std::memory_order_relaxed) + timed;
  const uint64_t all_slow = slow_.fetch_add(slow, std::memory_order_relaxed) + slow;
  // Cold: at least 16 slow calls, and at least one timed call in 8 slow, once enough calls
  // were timed that the first ones of a process (which often wait) do not decide alone. On a
  // cold cache most listings and the first entry of each folder wait; on a warm one under load
  // only the calls that lose their processor do, far fewer. Warm runs
  // on a loaded machine stay far below that share.
  if (all_timed >= kLeastTimed && all_slow >= 16 && all_slow * 8 >= all_timed) {
    cold_.store(true, std::memory_order_relaxed);
  } else if (all_timed >= kWindow) {
    // Judged over recent calls only, so that a cold part met after a long warm one still
    // counts. Racing resets lose a few counts, which does not matter here.
    timed_.store(0, std::memory_order_relaxed);
    slow_.store(0, std::memory_order_relaxed);
  }
}

void CacheProbe::record(bool slow) noexcept {
  // A batch of another probe left in this thread is dropped: a few calls do not change a
  // verdict.
  thread_local struct {
    const CacheProbe* probe = nullptr;
    uint32_t timed = 0;
    uint32_t slow = 0;
  } batch;
  if (batch.probe != this) batch = {this, 0, 0};
  ++batch.timed;
  if (slow) ++batch.slow;
  if (batch.timed >= 32) {
    add(batch.timed, batch.slow);
    batch.timed = batch.slow = 0;
  }
}

tbb::task_arena& io_arena() {
  static tbb::task_arena* const arena = [] {
    const unsigned processors = std::thread::hardware_concurrency();
    const int width = static_cast<int>(
        io_arena_width(processors == 0 ? std::nullopt : std::optional<unsigned>(processors)));
    // oneTBB caps all arenas together at one thread per processor unless told otherwise; the
    // control is kept for the life of the process, like the arena. Ordinary arenas keep their
    // default width, so only work sent here runs wider.
    try {
      static tbb::global_control allow_wider(
          tbb::global_control::max_allowed_parallelism,
          static_cast<size_t>(std::max<int>(width, static_cast<int>(processors))));
    } catch (const std::exception&) {
      // Without the control the arena still works, only narrower.
    }
    auto made = std::make_unique<tbb::task_arena>(width);
    try {
      made->initialize();
    } catch (const std::exception&) {
      made = std::make_unique<tbb::task_arena>(1);
    }
    return made.release();
  }();
  return *arena;
}

void run_side_by_side(size_t count, const std::function<void()>& work) {
  io_arena().execute([&] {
    tbb::task_group group;
    for (size_t i = 0; i < count; ++i) group.run(work);
    group.wait();
  });
}

}  // namespace orvc
