#include "cli/console.hpp"

#include <gtest/gtest.h>

#include <cstdint>

namespace orvc::cli {
namespace {

TEST(FormatSize, ChoosesTheUnitBeforeRounding) {
  const std::pair<uint64_t, const char*> cases[] = {
      {0, "0 B"},
      {1023, "1023 B"},
      {1024, "1.0 KB"},
      {1536, "1.5 KB"},
      {1048575, "1024.0 KB"},
      {1048576, "1.0 MB"},
      {uint64_t{5} << 40, "5.0 TB"},
      {UINT64_MAX, "16384.0 PB"},
  };
  for (const auto& [bytes, text] : cases) EXPECT_EQ(format_size(bytes), text) << bytes;
}

}  // namespace
}  // namespace orvc::cli
