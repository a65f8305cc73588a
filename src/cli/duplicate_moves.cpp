#include "cli/duplicate_moves.hpp"

#include "cli/progress_line.hpp"
#include "util/saturating.hpp"

namespace orvc::cli {

using duplicates::DuplicateGroup;
using duplicates::Recheck;

DuplicateMovePlan plan_duplicate_moves(const std::vector<DuplicateGroup>& groups,
                                       TrackedCopies tracked) {
  DuplicateMovePlan plan;
  for (size_t g = 0; g < groups.size(); ++g) {
    const DuplicateGroup& group = groups[g];
    for (size_t d = 0; d < group.duplicates.size(); ++d) {
      const auto& copy = group.duplicates[d];
      if (duplicates::bytes_freed(copy, group.size) == 0) {
        ++plan.freeing_nothing;
      } else if (copy.git_tracked && tracked == TrackedCopies::LeftAlone) {
        ++plan.tracked_left;
      } else {
        plan.copies.push_back({g, d});
      }
    }
  }
  return plan;
}

DuplicateMoves move_duplicate_copies(const std::vector<DuplicateGroup>& groups,
                                     const DuplicateMovePlan& plan) {
  const auto copy_of = [&](const DuplicateCopy& c) -> const duplicates::DuplicateCandidate& {
    return groups[c.group].duplicates[c.duplicate];
  };
  duplicates::Reverifier reverifier(groups);
  // Each move job writes only its own verdict; all are read once the run is over.
  std::vector<Recheck> verdicts(plan.copies.size(), Recheck::Same);
  removal::CleanupRequest request{{}, kDuplicatesCleanupType};
  request.paths.reserve(plan.copies.size());
  for (const auto& c : plan.copies) request.paths.push_back(copy_of(c).path);
  request.confirm = [&](size_t i) -> std::optional<removal::ItemIdentity> {
    const DuplicateCopy& c = plan.copies[i];
    verdicts[i] = reverifier.recheck(c.group, c.duplicate);
    if (verdicts[i] != Recheck::Same) return std::nullopt;
    return copy_of(c).identity.file;
  };

  DuplicateMoves result{
      with_progress([&] { return removal::run_cleanup_report(request); }), {}, {}, 0};
  const auto& outcome = result.report.outcome;
  for (size_t i = 0; i < plan.copies.size(); ++i) {
    const DuplicateCopy& c = plan.copies[i];
    if (verdicts[i] != Recheck::Same) {
      result.left_in_place.push_back({c, verdicts[i]});
    } else if (outcome && outcome->contains(copy_of(c).path)) {
      result.moved.push_back(c);
      const uint64_t freed = duplicates::bytes_freed(copy_of(c), groups[c.group].size);
      result.bytes_freed = saturating_add(result.bytes_freed, freed);
    }
  }
  return result;
}

}  // namespace orvc::cli
