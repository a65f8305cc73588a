#include "duplicates/hashing_pool.hpp"

#include <algorithm>
#include <exception>
#include <thread>

#include "platform/platform.hpp"

namespace orvc::duplicates {

unsigned hashing_permits(std::optional<unsigned> online_processors) {
  if (!online_processors) return 16;
  const uint64_t wanted = uint64_t{4} * *online_processors;
  return static_cast<unsigned>(std::clamp<uint64_t>(wanted, 8, 64));
}

std::vector<std::optional<StageDigest>> hash_files(std::span<const HashJob> jobs, HashStage stage,
                                                   unsigned permits,
                                                   const std::atomic<bool>& cancel_flag) {
  std::vector<std::optional<StageDigest>> digests(jobs.size());
  std::atomic<size_t> next_job{0};
  KnownContent known_content;
  KnownContent* known = stage == HashStage::Sample ? &known_content : nullptr;

  // Each worker writes only the slots of the jobs it claimed.
  const auto work = [&] {
    try {
      platform::lower_thread_io_priority();
      FileHasher hasher;
      for (size_t i = next_job++; i < jobs.size(); i = next_job++) {
        if (cancel_flag.load(std::memory_order_relaxed)) continue;
        digests[i] = hasher.hash_stage(*jobs[i].path, jobs[i].size, stage, known);
      }
    } catch (const std::exception&) {
      // A worker that cannot get its buffer leaves its remaining jobs to the others.
    }
  };

  const size_t thread_count = std::min<size_t>(std::max(permits, 1u), jobs.size());
  std::vector<std::thread> workers;
  workers.reserve(thread_count);
  for (size_t t = 0; t < thread_count; ++t) {
    try {
      workers.emplace_back(work);
    } catch (const std::exception&) {
      break;
    }
  }
  if (workers.empty() && !jobs.empty()) work();
  for (auto& worker : workers) worker.join();
  return digests;
}

}  // namespace orvc::duplicates
