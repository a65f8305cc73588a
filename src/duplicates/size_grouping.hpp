#pragma once
// The metadata-only narrowing before any content is read.
#include <cstddef>
#include <vector>

#include "duplicates/duplicate_group.hpp"

namespace orvc::duplicates {

inline constexpr uint64_t kMinimumCandidateBytes = 4096;

// Candidates of at least 4096 bytes that share their size with another, grouped by size in
// order of first appearance; members keep their order.
SizeGroups group_by_size(std::vector<DuplicateCandidate> candidates);

// Keeps one name per physical file in each group: a member whose (device, inode), as the crawl
// saw it, came earlier in the group is dropped, whatever its link count (hard links, and one
// file reached twice through a bind mount). A member without a known identity stays. Groups
// left with one member are removed. Returns the aliases dropped.
size_t remove_hard_link_aliases(SizeGroups& groups);

size_t count_members(const SizeGroups& groups);

}  // namespace orvc::duplicates
