#include "removal/move_workers.hpp"

#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <exception>
#include <optional>

#include "platform/platform.hpp"
#include "util/stop_request.hpp"

namespace orvc::removal {
namespace {

// Moves are mostly system calls and take one short lock each: one thread per processor keeps
// the processors busy; more would only add switching.
constexpr unsigned kMinWorkers = 2;
constexpr unsigned kMaxWorkers = 8;
// A copy's record of the tree it copied (CopiedTree) is freed one call per folder level.
constexpr size_t kWorkerStackBytes = size_t{64} << 20;

struct MoveBatch {
  size_t count;
  const MoveJob& move;
  std::vector<std::optional<Result<TrashedItem>>> results;
  std::atomic<size_t> next{0};
};

void* work(void* argument) {
  auto& batch = *static_cast<MoveBatch*>(argument);
  // The stop is looked at before an item is taken, never during its move.
  while (!stop_requested()) {
    const size_t i = batch.next++;
    if (i >= batch.count) break;
    try {
      batch.results[i] = batch.move(i);
    } catch (const std::exception& e) {
      batch.results[i] = failure(std::string("Task join error: ") + e.what());
    } catch (...) {
      batch.results[i] = failure("Task join error: unknown failure");
    }
  }
  return nullptr;
}

}  // namespace

std::vector<std::optional<Result<TrashedItem>>> run_moves(size_t count, const MoveJob& move) {
  MoveBatch batch{count, move, std::vector<std::optional<Result<TrashedItem>>>(count), {}};
  std::vector<pthread_t> threads;
  std::string start_error;
  // Threads of their own rather than the pool's: a deep copy across volumes needs the large
  // stack, and every move blocks on the file system.
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setstacksize(&attributes, kWorkerStackBytes);
  const size_t workers =
      std::clamp(platform::online_processors().value_or(kMinWorkers), kMinWorkers, kMaxWorkers);
  for (size_t i = 0; i < std::min(count, workers); ++i) {
    pthread_t thread;
    const int rc = pthread_create(&thread, &attributes, work, &batch);
    if (rc != 0) {
      start_error = std::strerror(rc);
      break;
    }
    threads.push_back(thread);
  }
  pthread_attr_destroy(&attributes);
  for (const pthread_t thread : threads) pthread_join(thread, nullptr);

  if (threads.empty() && !stop_requested()) {
    for (auto& result : batch.results) {
      result = failure("Task join error: cannot start a job thread: " + start_error);
    }
  }
  return std::move(batch.results);
}

}  // namespace orvc::removal
