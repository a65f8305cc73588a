#include "duplicates/hash_and_group.hpp"

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
        jobs.push_back({&member.candidate->path, bucket.size, member.candidate->identity});
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

// One group per final bucket, each member with the bytes no clone shares, measured only now
// that it is known to have a copy.
std::vector<DuplicateGroup> groups_of(const std::vector<Bucket>& buckets, unsigned permits,
                                      const std::atomic<bool>& cancel_flag) {
  std::vector<HashJob> jobs;
  for (const auto& bucket : buckets) {
    for (const auto& member : bucket.members) {
      jobs.push_back({&member.candidate->path, bucket.size, member.candidate->identity});
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
  for (auto& bucket : hash_and_regroup(sampled, HashStage::Content, permits, cancel_flag)) {
    identical.push_back(std::move(bucket));
  }

  result = groups_of(identical, permits, cancel_flag);
  sort_by_reclaimable(result);
  return result;
}

}  // namespace orvc::duplicates
