#pragma once
// The records the duplicate finder returns, and how one set of identical files becomes a group.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "scan/collector.hpp"

namespace orvc::duplicates {

// One file taking part in the search.
struct DuplicateCandidate {
  std::optional<int64_t> modified_secs;
  std::string path;
  std::string name;  // last path component as UTF-8 (lossy); empty when there is no normal name
  uint64_t size = 0;
  bool git_tracked = false;
  scan::CrawledIdentity identity;  // from the crawl; tells hard links apart without a second query
  // Bytes not shared with another file through a copy-on-write clone; nothing until measured
  // (members of groups only), or where the system cannot tell.
  std::optional<uint64_t> private_bytes = std::nullopt;
};

// Two or more files found identical; `keep` is the copy proposed for keeping.
struct DuplicateGroup {
  DuplicateCandidate keep;
  std::string hash;  // 64 lower-case hex digits of the last stage the group passed
  std::vector<DuplicateCandidate> duplicates;
  uint64_t size = 0;
  uint64_t reclaimable_bytes = 0;  // bytes_freed summed over `duplicates`
};

// Candidates of one exact size, in discovery order.
struct SizeGroup {
  uint64_t size = 0;
  std::vector<DuplicateCandidate> members;
};
using SizeGroups = std::vector<SizeGroup>;

// Whether the file has another name than this one: moving this name keeps its blocks in use.
bool hard_linked_elsewhere(const DuplicateCandidate& copy);

// What moving one copy of a group of `size`-byte files to the Trash frees: nothing while the
// file has another name, else the bytes it does not share with a clone (all when unmeasured).
uint64_t bytes_freed(const DuplicateCandidate& copy, uint64_t size);

// Keeps the oldest member (no time counts as newest); ties go to the earliest listed.
DuplicateGroup build_group(std::string hash, uint64_t size,
                           std::vector<DuplicateCandidate> members);

// Largest `reclaimable_bytes` first; equal values keep their order.
void sort_by_reclaimable(std::vector<DuplicateGroup>& groups);

// The path's last component as shown in a candidate's `name`.
std::string file_name_of(std::string_view path);

}  // namespace orvc::duplicates
