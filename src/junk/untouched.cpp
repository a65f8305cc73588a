#include "junk/untouched.hpp"

#include <algorithm>
#include <tuple>

#include "junk/catalogue.hpp"
#include "util/saturating.hpp"

namespace orvc::junk {
namespace {

constexpr uint64_t kSecondsPerDay = 86400;

size_t catalogue_rank(const JunkCategory& category) {
  const auto found = std::ranges::find(kJunkCategories, category.name, &CategoryInfo::name);
  return static_cast<size_t>(found - kJunkCategories.begin());
}

}  // namespace

uint64_t untouched_days(int64_t last_activity, int64_t now) {
  if (last_activity >= now) return 0;
  // The difference of two signed times always fits unsigned.
  return (static_cast<uint64_t>(now) - static_cast<uint64_t>(last_activity)) / kSecondsPerDay;
}

std::vector<JunkCategory> keep_untouched(std::vector<JunkCategory> categories, uint64_t older_days,
                                         int64_t now) {
  for (JunkCategory& category : categories) {
    std::erase_if(category.items, [&](const JunkItem& item) {
      return !item.last_activity || untouched_days(*item.last_activity, now) < older_days;
    });
    category.total_bytes = 0;
    for (const JunkItem& item : category.items) {
      category.total_bytes = saturating_add(category.total_bytes, item.size_bytes);
    }
  }
  std::erase_if(categories, [](const JunkCategory& c) { return c.items.empty(); });
  std::ranges::stable_sort(categories, [](const JunkCategory& a, const JunkCategory& b) {
    return std::tuple(b.total_bytes, catalogue_rank(a)) <
           std::tuple(a.total_bytes, catalogue_rank(b));
  });
  return categories;
}

}  // namespace orvc::junk
