#pragma once
// Joins constant tables at compile time, so a longer table is built from a shorter one.
#include <algorithm>
#include <array>
#include <cstddef>

namespace orvc {

template <typename T, size_t N, size_t M>
constexpr std::array<T, N + M> concat(const std::array<T, N>& first,
                                      const std::array<T, M>& second) {
  std::array<T, N + M> joined{};
  std::ranges::copy(first, joined.begin());
  std::ranges::copy(second, joined.begin() + N);
  return joined;
}

}  // namespace orvc
