#pragma once
#include <cstdint>
#include <limits>

namespace orvc::removal {

inline uint64_t saturating_add(uint64_t a, uint64_t b) {
  return a > std::numeric_limits<uint64_t>::max() - b ? std::numeric_limits<uint64_t>::max()
                                                      : a + b;
}

}  // namespace orvc::removal
