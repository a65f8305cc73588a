#include "duplicates/size_grouping.hpp"

#include <set>
#include <unordered_map>
#include <utility>

namespace orvc::duplicates {
namespace {

void remove_singletons(SizeGroups& groups) {
  std::erase_if(groups, [](const SizeGroup& g) { return g.members.size() < 2; });
}

}  // namespace

SizeGroups group_by_size(std::vector<DuplicateCandidate> candidates) {
  SizeGroups groups;
  std::unordered_map<uint64_t, size_t> index_of;
  for (auto& candidate : candidates) {
    if (candidate.size < kMinimumCandidateBytes) continue;
    const auto [slot, inserted] = index_of.try_emplace(candidate.size, groups.size());
    if (inserted) groups.push_back({candidate.size, {}});
    groups[slot->second].members.push_back(std::move(candidate));
  }
  remove_singletons(groups);
  return groups;
}

size_t remove_hard_link_aliases(SizeGroups& groups) {
  size_t aliases = 0;
  for (auto& group : groups) {
    std::set<FileIdentity> seen;
    const size_t before = group.members.size();
    std::erase_if(group.members, [&](const DuplicateCandidate& member) {
      const scan::CrawledIdentity& identity = member.identity;
      // One file reached through two paths (a bind mount, a second mount of the same volume)
      // has one link and is still one file, so the link count only says whether the crawl
      // read the identity at all.
      if (identity.links == 0) return false;
      return !seen.insert(identity.file).second;
    });
    aliases += before - group.members.size();
  }
  remove_singletons(groups);
  return aliases;
}

size_t count_members(const SizeGroups& groups) {
  size_t count = 0;
  for (const auto& group : groups) count += group.members.size();
  return count;
}

}  // namespace orvc::duplicates
