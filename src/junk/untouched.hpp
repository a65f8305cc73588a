#pragma once
// `dev-junk --older DAYS`: which items have gone untouched long enough to offer. A pure choice
// over scan results whose last activity has been noted.
#include <cstdint>
#include <vector>

#include "junk/junk_item.hpp"

namespace orvc::junk {

// Whole days from `last_activity` to `now`; 0 for a time in the future.
uint64_t untouched_days(int64_t last_activity, int64_t now);

// Only the items whose last activity is known and at least `older_days` whole days before
// `now`; an item without one counts as touched just now. Totals are summed again, empty
// categories dropped, and the rest ordered largest total first, ties in catalogue order.
std::vector<JunkCategory> keep_untouched(std::vector<JunkCategory> categories, uint64_t older_days,
                                         int64_t now);

}  // namespace orvc::junk
