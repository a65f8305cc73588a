#pragma once
// Byte counts that stop at the largest 64-bit value instead of wrapping around.
#include <cstdint>
#include <limits>

namespace orvc {

inline constexpr uint64_t kSaturated = std::numeric_limits<uint64_t>::max();

constexpr uint64_t saturating_add(uint64_t a, uint64_t b) {
  return a > kSaturated - b ? kSaturated : a + b;
}

constexpr uint64_t saturating_mul(uint64_t a, uint64_t b) {
  return b != 0 && a > kSaturated / b ? kSaturated : a * b;
}

// A count of 512-byte blocks (st_blocks on Linux and macOS) as bytes; none for a negative count.
constexpr uint64_t blocks_to_bytes(int64_t blocks) {
  return blocks <= 0 ? 0 : saturating_mul(static_cast<uint64_t>(blocks), 512);
}

}  // namespace orvc
