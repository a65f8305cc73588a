#include <algorithm>
#include <limits>
#include <string_view>

#include "duplicates/duplicate_group.hpp"
#include "util/lexical_path.hpp"
#include "util/saturating.hpp"
#include "util/text.hpp"

namespace orvc::duplicates {

DuplicateGroup build_group(std::string hash, uint64_t size,
                           std::vector<DuplicateCandidate> members) {
  constexpr int64_t kNoTime = std::numeric_limits<int64_t>::max();
  size_t keep_index = 0;
  for (size_t i = 1; i < members.size(); ++i) {
    if (members[i].modified_secs.value_or(kNoTime) <
        members[keep_index].modified_secs.value_or(kNoTime)) {
      keep_index = i;
    }
  }

  DuplicateGroup group;
  group.hash = std::move(hash);
  group.size = size;
  if (members.empty()) return group;
  group.keep = std::move(members[keep_index]);
  members.erase(members.begin() + static_cast<std::ptrdiff_t>(keep_index));
  group.duplicates = std::move(members);

  for (const auto& copy : group.duplicates) {
    group.reclaimable_bytes = saturating_add(group.reclaimable_bytes, bytes_freed(copy, size));
  }
  return group;
}

bool hard_linked_elsewhere(const DuplicateCandidate& copy) {
  return copy.identity.links > 1;
}

uint64_t bytes_freed(const DuplicateCandidate& copy, uint64_t size) {
  if (hard_linked_elsewhere(copy)) return 0;
  return std::min(copy.private_bytes.value_or(size), size);
}

void sort_by_reclaimable(std::vector<DuplicateGroup>& groups) {
  std::stable_sort(groups.begin(), groups.end(), [](const auto& a, const auto& b) {
    return a.reclaimable_bytes > b.reclaimable_bytes;
  });
}

std::string file_name_of(std::string_view path) {
  const std::optional<std::string_view> name = last_component(path);
  return name ? lossy_utf8(*name) : std::string();
}

}  // namespace orvc::duplicates
