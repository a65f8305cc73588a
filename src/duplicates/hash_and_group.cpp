#include "duplicates/hash_and_group.hpp"

#include <algorithm>
#include <iterator>
#include <unordered_map>

#include "duplicates/hashing_pool.hpp"
#include "platform/platform.hpp"

namespace orvc::duplicates {
namespace {

struct Member {
  const DuplicateCandidate* candidate;
  std::optional<Digest> content;  // known early when the sample stage read the whole file
};

// Members that agree so far, with the digest of the last stage they passed.
struct Bucket {
  uint64_t size = 0;
  Digest digest{};
  std::vector<Member> members;
};

HashJob job_of(const Member& member, uint64_t size) {
  return {&member.candidate->path, size, member.candidate->identity};
}

// Hashes every member of `buckets` for `stage` and regroups by (size, digest). Buckets come
// out in order of first appearance, members in the order they went in; singletons are dropped.
std::vector<Bucket> hash_and_regroup(const std::vector<Bucket>& buckets, HashStage stage,
                                     unsigned permits, const std::atomic<bool>& cancel_flag) {
  struct Entry {
    const Member* member;
    uint64_t size;
    std::optional<size_t> job;  // none when the digest is already known
  };
  std::vector<Entry> entries;
  std::vector<HashJob> jobs;
  for (const auto& bucket : buckets) {
    for (const auto& member : bucket.members) {
      Entry entry{&member, bucket.size, std::nullopt};
      if (stage != HashStage::Content || !member.content) {
        entry.job = jobs.size();
        jobs.push_back(job_of(member, bucket.size));
      }
      entries.push_back(entry);
    }
  }
  const auto digests = hash_files(jobs, stage, permits, cancel_flag);

  std::vector<Bucket> regrouped;
  std::unordered_map<SizedDigest, size_t, SizedDigestHash> index_of;
  for (const auto& entry : entries) {
    Member next{entry.member->candidate, entry.member->content};
    Digest digest;
    if (!entry.job) {
      digest = *entry.member->content;
    } else if (const auto& result = digests[*entry.job]) {
      digest = result->digest;
      if (result->content) next.content = result->content;
    } else {
      continue;
    }
    const SizedDigest key{entry.size, digest};
    const auto [slot, inserted] = index_of.try_emplace(key, regrouped.size());
    if (inserted) regrouped.push_back({key.size, key.digest, {}});
    regrouped[slot->second].members.push_back(next);
  }
  std::erase_if(regrouped, [](const Bucket& b) { return b.members.size() < 2; });
  return regrouped;
}

// Buckets of more files than this are digested file by file: comparing side by side keeps every
// member open at once.
constexpr size_t kMostComparedSideBySide = 16;

// The content stage. Files of at most 384 KiB were digested whole by the sample stage, so their
// buckets are final. In the others each file is compared byte for byte with the first, whose
// bytes alone are digested; the few that differ, and the members of very large buckets, are
// digested one by one. Groups keep the order in which their first members came.
std::vector<Bucket> confirm_contents(const std::vector<Bucket>& buckets, unsigned permits,
                                     const std::atomic<bool>& cancel_flag) {
  const auto compared = [](const Bucket& b) {
    return !b.members.front().content && b.members.size() <= kMostComparedSideBySide;
  };
  std::vector<std::vector<HashJob>> comparison_jobs;
  for (const auto& bucket : buckets) {
    if (!compared(bucket)) continue;
    auto& jobs = comparison_jobs.emplace_back();
    for (const auto& member : bucket.members) jobs.push_back(job_of(member, bucket.size));
  }
  const auto comparisons = compare_buckets(comparison_jobs, permits, cancel_flag);

  std::vector<std::vector<Bucket>> parts(buckets.size());
  std::vector<Bucket> to_hash;
  std::unordered_map<const DuplicateCandidate*, size_t> origin;
  auto comparison = comparisons.begin();
  for (size_t i = 0; i < buckets.size(); ++i) {
    const Bucket& bucket = buckets[i];
    if (bucket.members.front().content) {
      parts[i].push_back(bucket);
      continue;
    }
    Bucket unsettled{bucket.size, {}, {}};
    if (compared(bucket)) {
      Bucket same{bucket.size, comparison->digest.value_or(Digest{}), {}};
      for (size_t k = 0; k < bucket.members.size(); ++k) {
        const Comparison verdict = comparison->verdicts[k];
        if (verdict == Comparison::Same) same.members.push_back(bucket.members[k]);
        if (verdict == Comparison::Different) unsettled.members.push_back(bucket.members[k]);
      }
      ++comparison;
      if (same.members.size() > 1) parts[i].push_back(std::move(same));
    } else {
      unsettled.members = bucket.members;
    }
    if (unsettled.members.size() < 2) continue;
    for (const auto& member : unsettled.members) origin[member.candidate] = i;
    to_hash.push_back(std::move(unsettled));
  }
  if (!to_hash.empty()) {
    for (auto& bucket : hash_and_regroup(to_hash, HashStage::Content, permits, cancel_flag)) {
      parts[origin.at(bucket.members.front().candidate)].push_back(std::move(bucket));
    }
  }
  std::vector<Bucket> confirmed;
  for (auto& part : parts) std::ranges::move(part, std::back_inserter(confirmed));
  return confirmed;
}

// One group per final bucket, each member with the bytes no clone shares, measured only now
// that it is known to have a copy.
std::vector<DuplicateGroup> groups_of(const std::vector<Bucket>& buckets, unsigned permits,
                                      const std::atomic<bool>& cancel_flag) {
  std::vector<HashJob> jobs;
  for (const auto& bucket : buckets) {
    for (const auto& member : bucket.members) {
      jobs.push_back(job_of(member, bucket.size));
    }
  }
  const auto private_bytes = measure_private_bytes(jobs, permits, cancel_flag);
  std::vector<DuplicateGroup> groups;
  size_t next = 0;
  for (const auto& bucket : buckets) {
    std::vector<DuplicateCandidate> members;
    members.reserve(bucket.members.size());
    for (const auto& member : bucket.members) {
      members.push_back(*member.candidate);
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

  std::vector<Bucket> unhashed;
  for (const auto& group : size_groups) {
    Bucket bucket{group.size, {}, {}};
    for (const auto& member : group.members) bucket.members.push_back({&member, std::nullopt});
    if (!bucket.members.empty()) unhashed.push_back(std::move(bucket));
  }
  if (unhashed.empty()) return result;

  // A prefix of a file of at most 4096 bytes is the whole file: such groups are final.
  std::vector<Bucket> identical;
  std::vector<Bucket> to_sample;
  for (auto& bucket : hash_and_regroup(unhashed, HashStage::Prefix, permits, cancel_flag)) {
    (bucket.size <= kPrefixBytes ? identical : to_sample).push_back(std::move(bucket));
  }
  const auto sampled = hash_and_regroup(to_sample, HashStage::Sample, permits, cancel_flag);
  for (auto& bucket : confirm_contents(sampled, permits, cancel_flag)) {
    identical.push_back(std::move(bucket));
  }

  result = groups_of(identical, permits, cancel_flag);
  sort_by_reclaimable(result);
  return result;
}

}  // namespace orvc::duplicates
