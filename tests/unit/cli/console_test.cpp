#include "cli/console.hpp"

#include <gtest/gtest.h>

#include <cstdint>

namespace orvc::cli {
namespace {

TEST(FormatSize, ChoosesTheUnitBeforeRounding) {
  std::string sizes;
  for (const uint64_t bytes : {uint64_t{0}, uint64_t{1023}, uint64_t{1024}, uint64_t{1536},
                               uint64_t{1048575}, uint64_t{1048576}, uint64_t{5} << 40, UINT64_MAX})
    sizes += format_size(bytes) + "|";
  EXPECT_EQ(sizes, "0 B|1023 B|1.0 KB|1.5 KB|1024.0 KB|1.0 MB|5.0 TB|16384.0 PB|");
}

}  // namespace
}  // namespace orvc::cli
