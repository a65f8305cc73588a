#include "duplicates/hash_and_group.hpp"

#include <algorithm>
#include <iterator>
#include <unordered_map>

#include "duplicates/hashing_pool.hpp"
#include "platform/platform.hpp"

namespace orvc::duplicates {
namespace {

// Members that agree so far: on the digest of the last stage they passed, or on every byte.
struct Bucket {
  uint64_t size = 0;
  Digest digest{};
  HashStage agreed = HashStage::Prefix;  // Content once the group is final
  std::vector<const DuplicateCandidate*> members;
};

// Files of at most this size whose prefixes agree are compared whole at once, in buckets small
// enough to keep every member open; larger files are sampled first, which reads 384 KiB
// whatever their size.
constexpr uint64_t kLargestComparedUnsampled = uint64_t{16} << 20;
constexpr size_t kMostComparedSideBySide = 16;

HashJob job_of(const DuplicateCandidate* member, uint64_t size) {
  return {&member->path, size, member->identity};
}

// What the members of a bucket agree on after `stage`: a stage that read the whole file settles
// its content.
HashStage agreed_after(HashStage stage, uint64_t size) {
  const bool whole = (stage == HashStage::Prefix && size <= kPrefixBytes) ||
                     (stage == HashStage::Sample && size <= kWholeSampleLimit);
  return whole ? HashStage::Content : stage;
}

// Splits the buckets `wanted` picks by the digests of their members for `stage`; the others
// pass unchanged. Buckets keep their order, the parts of one bucket the order of their first
// members, members the order they came in; parts of one file drop out.
template <typename Wanted>
std::vector<Bucket> regroup(std::vector<Bucket> buckets, HashStage stage, const Wanted& wanted,
                            unsigned permits, const std::atomic<bool>& cancel_flag) {
  std::vector<HashJob> jobs;
  for (const Bucket& bucket : buckets) {
    if (!wanted(bucket)) continue;
    for (const auto* member : bucket.members) jobs.push_back(job_of(member, bucket.size));
  }
  if (jobs.empty()) return buckets;
  const auto digests = hash_files(jobs, stage, permits, cancel_flag);

  std::vector<Bucket> regrouped;
  size_t next_job = 0;
  for (Bucket& bucket : buckets) {
    if (!wanted(bucket)) {
      regrouped.push_back(std::move(bucket));
      continue;
    }
    const size_t first_part = regrouped.size();
    std::unordered_map<Digest, size_t, DigestHash> part_of;
    for (const auto* member : bucket.members) {
      const auto& digest = digests[next_job++];
      if (!digest) continue;
      const auto [slot, added] = part_of.try_emplace(*digest, regrouped.size());
      if (added) regrouped.push_back({bucket.size, *digest, agreed_after(stage, bucket.size), {}});
      regrouped[slot->second].members.push_back(member);
    }
    const auto alone =
        std::remove_if(regrouped.begin() + static_cast<std::ptrdiff_t>(first_part), regrouped.end(),
                       [](const Bucket& b) { return b.members.size() < 2; });
    regrouped.erase(alone, regrouped.end());
  }
  return regrouped;
}

bool compared_side_by_side(const Bucket& bucket) {
  return bucket.agreed != HashStage::Content && bucket.members.size() <= kMostComparedSideBySide;
}

// Compares each bucket small enough byte for byte with its first member, whose bytes alone are
// digested. The members found equal make a final bucket; those that differ stay together,
// agreeing on what they agreed before, to be digested one by one.
std::vector<Bucket> compare_contents(std::vector<Bucket> buckets, unsigned permits,
                                     const std::atomic<bool>& cancel_flag) {
  std::vector<std::vector<HashJob>> jobs;
  for (const Bucket& bucket : buckets) {
    if (!compared_side_by_side(bucket)) continue;
    auto& members = jobs.emplace_back();
    for (const auto* member : bucket.members) members.push_back(job_of(member, bucket.size));
  }
  if (jobs.empty()) return buckets;
  const auto comparisons = compare_buckets(jobs, permits, cancel_flag);

  std::vector<Bucket> compared;
  auto comparison = comparisons.begin();
  for (Bucket& bucket : buckets) {
    if (!compared_side_by_side(bucket)) {
      compared.push_back(std::move(bucket));
      continue;
    }
    Bucket same{bucket.size, comparison->digest.value_or(Digest{}), HashStage::Content, {}};
    Bucket different{bucket.size, bucket.digest, bucket.agreed, {}};
    for (size_t k = 0; k < bucket.members.size(); ++k) {
      const Comparison verdict = comparison->verdicts[k];
      if (verdict == Comparison::Same) same.members.push_back(bucket.members[k]);
      if (verdict == Comparison::Different) different.members.push_back(bucket.members[k]);
    }
    ++comparison;
    if (same.members.size() > 1) compared.push_back(std::move(same));
    if (different.members.size() > 1) compared.push_back(std::move(different));
  }
  return compared;
}

// One group per final bucket, each member with the bytes no clone shares, measured only now
// that it is known to have a copy.
std::vector<DuplicateGroup> groups_of(const std::vector<Bucket>& buckets, unsigned permits,
                                      const std::atomic<bool>& cancel_flag) {
  std::vector<HashJob> jobs;
  for (const auto& bucket : buckets) {
    for (const auto* member : bucket.members) jobs.push_back(job_of(member, bucket.size));
  }
  const auto private_bytes = measure_private_bytes(jobs, permits, cancel_flag);
  std::vector<DuplicateGroup> groups;
  size_t next = 0;
  for (const auto& bucket : buckets) {
    std::vector<DuplicateCandidate> members;
    members.reserve(bucket.members.size());
    for (const auto* member : bucket.members) {
      members.push_back(*member);
      members.back().private_bytes = private_bytes[next++];
    }
    groups.push_back(build_group(to_hex(bucket.digest), bucket.size, std::move(members)));
  }
  return groups;
}

}  // namespace

std::vector<DuplicateGroup> hash_and_group(const SizeGroups& size_groups,
                                           const std::atomic<bool>& cancel_flag) {
  return hash_and_group(size_groups, cancel_flag, hashing_permits(platform::online_processors()));
}

std::vector<DuplicateGroup> hash_and_group(const SizeGroups& size_groups,
                                           const std::atomic<bool>& cancel_flag, unsigned permits) {
  std::vector<DuplicateGroup> result;
  if (cancel_flag.load()) return result;

  std::vector<Bucket> buckets;
  for (const auto& group : size_groups) {
    Bucket bucket{group.size, {}, HashStage::Prefix, {}};
    for (const auto& member : group.members) bucket.members.push_back(&member);
    if (!bucket.members.empty()) buckets.push_back(std::move(bucket));
  }
  const auto all = [](const Bucket&) { return true; };
  const auto unsampled = [](const Bucket& b) { return b.agreed == HashStage::Prefix; };
  const auto sampled = [](const Bucket& b) { return b.agreed == HashStage::Sample; };
  // Files are sampled first only where comparing them whole at once costs more: in buckets
  // too large to keep open, or when a whole read costs more than a sample does.
  const auto worth_sampling = [&](const Bucket& b) {
    return unsampled(b) && (b.size > kLargestComparedUnsampled || !compared_side_by_side(b));
  };
  buckets = regroup(std::move(buckets), HashStage::Prefix, all, permits, cancel_flag);
  buckets = regroup(std::move(buckets), HashStage::Sample, worth_sampling, permits, cancel_flag);
  buckets = compare_contents(std::move(buckets), permits, cancel_flag);
  // What differed from the first member of its bucket is digested file by file.
  buckets = regroup(std::move(buckets), HashStage::Sample, unsampled, permits, cancel_flag);
  buckets = regroup(std::move(buckets), HashStage::Content, sampled, permits, cancel_flag);
  // Files whose prefix is the whole file come first, as they were found first.
  std::ranges::stable_partition(buckets, [](const Bucket& b) { return b.size <= kPrefixBytes; });

  result = groups_of(buckets, permits, cancel_flag);
  sort_by_reclaimable(result);
  return result;
}

}  // namespace orvc::duplicates
