#include "duplicates/hashing_pool.hpp"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <exception>
#include <map>
#include <numeric>
#include <string>

#include "platform/platform.hpp"
#include "util/diagnostics.hpp"
#include "util/file_identity.hpp"
#include "util/io_arena.hpp"
#include "util/long_path.hpp"
#include "util/unique_fd.hpp"
#include "util/work_progress.hpp"

namespace orvc::duplicates {

unsigned hashing_permits(std::optional<unsigned> online_processors) {
  if (!online_processors) return 16;
  const uint64_t wanted = uint64_t{4} * *online_processors;
  return static_cast<unsigned>(std::clamp<uint64_t>(wanted, 8, 64));
}

namespace {

constexpr unsigned kMeasuringThreads = 4;

// Files a thread opens, and announces, before it reads the first of them. Small reads gain
// most from company; whole files are announced in large stretches already.
size_t files_ahead(HashStage stage) {
  switch (stage) {
    case HashStage::Prefix:
      return 8;
    case HashStage::Sample:
      return 4;
    case HashStage::Content:
      return 2;
  }
  return 1;
}

// Positions 0..count-1 ordered by the identity of the file each reads first: inode numbers on
// most file systems follow where the bytes lie, so reads go near to far.
template <typename IdentityAt>
std::vector<size_t> read_order(size_t count, const IdentityAt& identity_at) {
  std::vector<size_t> order(count);
  std::iota(order.begin(), order.end(), size_t{0});
  std::ranges::stable_sort(order, {}, [&](size_t i) { return identity_at(i); });
  return order;
}

// Runs `count` workers side by side at low disk priority, each with a hasher of its own.
template <typename Work>
void run_hashing_workers(size_t count, const std::atomic<bool>& cancel_flag, const Work& work) {
  run_side_by_side(count, [&] {
    try {
      const platform::LowThreadIoPriority low_priority;
      FileHasher hasher(&cancel_flag);
      work(hasher);
    } catch (const std::exception& e) {
      // A worker that cannot get its buffer leaves its remaining jobs to the others.
      report_diagnostic(std::string("A hashing worker stopped: ") + e.what());
    }
  });
}

}  // namespace

std::vector<std::optional<Digest>> hash_files(std::span<const HashJob> jobs, HashStage stage,
                                              unsigned permits,
                                              const std::atomic<bool>& cancel_flag) {
  std::vector<std::optional<Digest>> digests(jobs.size());
  begin_phase(WorkPhase::Hashing, jobs.size());
  const std::vector<size_t> order =
      read_order(jobs.size(), [&](size_t i) { return jobs[i].identity.file; });
  const size_t batch = files_ahead(stage);
  std::atomic<size_t> next{0};

  // Each worker writes only the slots of the jobs it claimed.
  run_hashing_workers(
      std::min<size_t>(std::max(permits, 1u), jobs.size()), cancel_flag, [&](FileHasher& hasher) {
        std::vector<std::pair<size_t, std::optional<StageFile>>> opened;
        opened.reserve(batch);
        for (size_t first = next.fetch_add(batch); first < jobs.size();
             first = next.fetch_add(batch)) {
          if (cancel_flag.load(std::memory_order_relaxed)) continue;
          const size_t last = std::min(first + batch, jobs.size());
          for (size_t k = first; k < last; ++k) {
            const HashJob& job = jobs[order[k]];
            opened.emplace_back(order[k], StageFile::open(*job.path, job.size, stage));
          }
          for (auto& [i, file] : opened) {
            if (file && !cancel_flag.load(std::memory_order_relaxed)) {
              digests[i] = hasher.hash_stage(*file, stage);
            }
          }
          add_done(opened.size());
          opened.clear();
        }
      });
  return digests;
}

std::vector<BucketComparison> compare_buckets(std::span<const std::vector<HashJob>> buckets,
                                              unsigned permits,
                                              const std::atomic<bool>& cancel_flag) {
  std::vector<BucketComparison> results(buckets.size());
  size_t files = 0;
  for (size_t i = 0; i < buckets.size(); ++i) {
    results[i].verdicts.assign(buckets[i].size(), Comparison::Dropped);
    files += buckets[i].size();
  }
  begin_phase(WorkPhase::Hashing, files);
  const std::vector<size_t> order =
      read_order(buckets.size(), [&](size_t i) { return buckets[i].front().identity.file; });
  std::atomic<size_t> next{0};

  // Each worker writes only the results of the buckets it claimed.
  run_hashing_workers(
      std::min<size_t>(std::max(permits, 1u), buckets.size()), cancel_flag,
      [&](FileHasher& hasher) {
        std::vector<std::optional<StageFile>> opened;
        std::vector<const StageFile*> others;
        std::vector<Comparison> verdicts;
        for (size_t k = next++; k < buckets.size(); k = next++) {
          if (cancel_flag.load(std::memory_order_relaxed)) continue;
          const std::vector<HashJob>& members = buckets[order[k]];
          BucketComparison& result = results[order[k]];
          opened.clear();
          for (const HashJob& member : members) {
            opened.push_back(StageFile::open(*member.path, member.size, HashStage::Content));
          }
          const auto first = std::ranges::find_if(opened, [](const auto& f) { return bool(f); });
          if (first != opened.end()) {
            others.clear();
            for (auto other = first + 1; other != opened.end(); ++other) {
              others.push_back(*other ? &**other : nullptr);
            }
            result.digest = hasher.digest_comparing(**first, others, verdicts);
            const auto lead = result.verdicts.begin() + (first - opened.begin());
            *lead = result.digest ? Comparison::Same : Comparison::Dropped;
            std::ranges::copy(verdicts, lead + 1);
          }
          add_done(members.size());
        }
      });
  return results;
}

std::vector<std::optional<uint64_t>> measure_private_bytes(std::span<const HashJob> jobs,
                                                           unsigned permits,
                                                           const std::atomic<bool>& cancel_flag) {
  std::vector<std::optional<uint64_t>> measured(jobs.size());
  // A file system without clones answers for all its files at once.
  std::map<uint64_t, bool> unshared_devices;
  for (const HashJob& job : jobs) {
    if (job.identity.links == 0 || unshared_devices.contains(job.identity.file.device)) continue;
    unshared_devices[job.identity.file.device] = platform::never_shares_blocks(*job.path);
  }
  std::atomic<size_t> next{0};
  const auto work = [&] {
    for (size_t i = next++; i < jobs.size(); i = next++) {
      if (cancel_flag.load(std::memory_order_relaxed)) continue;
      const HashJob& job = jobs[i];
      if (job.identity.links != 0 && unshared_devices.at(job.identity.file.device)) {
        measured[i] = job.size;
        continue;
      }
      const UniqueFd fd(open_long_path(*job.path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
      struct stat metadata {};
      if (!fd || fstat(fd.get(), &metadata) != 0 || !S_ISREG(metadata.st_mode) ||
          static_cast<uint64_t>(metadata.st_size) != job.size ||
          (job.identity.links != 0 && identity_of(metadata) != job.identity.file)) {
        continue;
      }
      measured[i] = platform::private_bytes(fd.get(), job.size);
    }
  };
  // Mostly one metadata call per file: a few at once are plenty.
  run_side_by_side(std::min<size_t>(std::clamp(permits, 1u, kMeasuringThreads), jobs.size()), work);
  return measured;
}

}  // namespace orvc::duplicates
