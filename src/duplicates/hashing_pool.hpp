#pragma once
// Runs the hashing jobs of one stage in the I/O arena (util/io_arena) at low disk priority. The
// number of workers side by side is the search's permit count, so at most that many files are
// read at once.
#include <atomic>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "duplicates/file_hasher.hpp"
#include "scan/collector.hpp"

namespace orvc::duplicates {

struct HashJob {
  const std::string* path;
  uint64_t size;  // the crawled size; a file of another size now yields no digest
  scan::CrawledIdentity identity{};  // files are read in (device, inode) order, near to far
};

// 4 per online processor, clamped to 8..64; 16 when the count is unknown.
unsigned hashing_permits(std::optional<unsigned> online_processors);

// One result per job, in job order. Files are read in order of their inode numbers, which on
// most file systems follows where their bytes lie; each thread opens a few files ahead and
// announces their bytes, so that a cold cache sees many reads in flight. A job that fails, or has
// not finished when `cancel_flag` is set, yields nothing. Jobs done go to the work counters.
std::vector<std::optional<Digest>> hash_files(std::span<const HashJob> jobs, HashStage stage,
                                              unsigned permits,
                                              const std::atomic<bool>& cancel_flag);

// The content stage of one bucket of files of one size, read side by side.
struct BucketComparison {
  // Of the first member that could be opened, when it was read whole and another is like it.
  std::optional<Digest> digest;
  std::vector<Comparison> verdicts;  // one per member, in member order; that first one is Same
                                     // when there is a digest, else Dropped
};

// Compares every member of each bucket byte for byte with the first that can be opened, whose
// bytes alone are digested; buckets are compared side by side, near to far by the inode of
// their first member. One result per bucket, in bucket order. Every member of a bucket is open
// at once, so buckets should be small. Members done go to the work counters.
std::vector<BucketComparison> compare_buckets(std::span<const std::vector<HashJob>> buckets,
                                              unsigned permits,
                                              const std::atomic<bool>& cancel_flag);

// The bytes of each job's file that no clone shares (platform::private_bytes), one result per
// job in job order: nothing for a file that is no longer a regular file of the crawled size, or
// whose system cannot tell.
std::vector<std::optional<uint64_t>> measure_private_bytes(std::span<const HashJob> jobs,
                                                           unsigned permits,
                                                           const std::atomic<bool>& cancel_flag);

}  // namespace orvc::duplicates
