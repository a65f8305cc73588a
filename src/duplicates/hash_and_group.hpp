#pragma once
// The hashing half of the duplicate search: prefix, sample and content digests, regrouping
// after each stage, then one group per set of identical files.
#include <atomic>
#include <vector>

#include "duplicates/duplicate_group.hpp"

namespace orvc::duplicates {

// Groups in order of reclaimable bytes, largest first. Members that cannot be read drop out
// silently; nothing is returned once `cancel_flag` is set on entry.
std::vector<DuplicateGroup> hash_and_group(const SizeGroups& size_groups,
                                           const std::atomic<bool>& cancel_flag);

// Same, with an explicit number of concurrent hashing jobs.
std::vector<DuplicateGroup> hash_and_group(const SizeGroups& size_groups,
                                           const std::atomic<bool>& cancel_flag, unsigned permits);

}  // namespace orvc::duplicates
