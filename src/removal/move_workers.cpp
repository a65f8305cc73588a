#include "removal/move_workers.hpp"

#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <exception>
#include <optional>

#include "platform/platform.hpp"

namespace orvc::removal {
namespace {

// Moves are mostly system calls and take one short lock each: one thread per processor keeps
// the processors busy; more would only add switching.
constexpr unsigned kMinWorkers = 2;
constexpr unsigned kMaxWorkers = 8;
constexpr size_t kWorkerStackBytes = size_t{64} << 20;  // copies recurse once per folder level

struct MoveBatch {
  const std::vector<std::string>& paths;
  const MoveJob& move;
  std::vector<std::optional<Result<TrashedItem>>> results;
  std::atomic<size_t> next{0};
};

void* work(void* argument) {
  auto& batch = *static_cast<MoveBatch*>(argument);
  for (size_t i = batch.next++; i < batch.paths.size(); i = batch.next++) {
    try {
      batch.results[i] = batch.move(i, batch.paths[i]);
    } catch (const std::exception& e) {
      batch.results[i] = failure(std::string("Task join error: ") + e.what());
    } catch (...) {
      batch.results[i] = failure("Task join error: unknown failure");
    }
  }
  return nullptr;
}

}  // namespace

std::vector<Result<TrashedItem>> run_moves(const std::vector<std::string>& paths,
                                           const MoveJob& move) {
  MoveBatch batch{paths, move, std::vector<std::optional<Result<TrashedItem>>>(paths.size()), {}};
  std::vector<pthread_t> threads;
  std::string start_error;
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setstacksize(&attributes, kWorkerStackBytes);
  const size_t workers =
      std::clamp(platform::online_processors().value_or(kMinWorkers), kMinWorkers, kMaxWorkers);
  for (size_t i = 0; i < std::min(paths.size(), workers); ++i) {
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

  std::vector<Result<TrashedItem>> results;
  results.reserve(paths.size());
  for (auto& result : batch.results) {
    if (result) {
      results.push_back(std::move(*result));
    } else {
      results.push_back(failure("Task join error: cannot start a job thread: " + start_error));
    }
  }
  return results;
}

}  // namespace orvc::removal
