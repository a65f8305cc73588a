#pragma once
// What `duplicates --apply` moves: the extra copies of every group, each checked again just
// before its move, through the cleanup executor. Prints nothing; run_duplicates reports.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "duplicates/duplicate_group.hpp"
#include "duplicates/reverify.hpp"
#include "removal/cleanup.hpp"

namespace orvc::cli {

inline constexpr removal::CleanupType kDuplicatesCleanupType = removal::CleanupType::Duplicates;

enum class TrackedCopies { LeftAlone, Moved };

// One of a group's `duplicates`.
struct DuplicateCopy {
  size_t group = 0;
  size_t duplicate = 0;
};

struct DuplicateMovePlan {
  std::vector<DuplicateCopy> copies;  // group by group, in report order
  size_t tracked_left = 0;            // in a Git working tree
  size_t freeing_nothing = 0;         // a clone with no block of its own, or another name
};

// Every copy of every group but those that free nothing and, unless `tracked` says otherwise,
// those in a Git working tree. Kept copies are never in it.
DuplicateMovePlan plan_duplicate_moves(const std::vector<duplicates::DuplicateGroup>& groups,
                                       TrackedCopies tracked);

struct LeftInPlace {
  DuplicateCopy copy;
  duplicates::Recheck why;  // CopyChanged or KeptChanged
};

struct DuplicateMoves {
  removal::CleanupReport report;           // item by item, in plan order
  std::vector<DuplicateCopy> moved;        // in plan order; empty when the outcome failed
  std::vector<LeftInPlace> left_in_place;  // in plan order
  uint64_t bytes_freed = 0;                // by the moved copies
};

// Moves the plan's copies to the Trash as one kDuplicatesCleanupType run. Just before each move the
// copy and its group's kept copy must still be as the scan saw them; a copy that is not, or
// whose kept copy is not, stays where it is. `groups` are those the plan was made from.
DuplicateMoves move_duplicate_copies(const std::vector<duplicates::DuplicateGroup>& groups,
                                     const DuplicateMovePlan& plan);

}  // namespace orvc::cli
