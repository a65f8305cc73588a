#include "cli/console.hpp"

#include <gtest/gtest.h>

#include <cstdint>

#include "cli/progress_line.hpp"

namespace orvc::cli {
namespace {

TEST(FormatSize, ChoosesTheUnitBeforeRounding) {
  const std::pair<uint64_t, const char*> cases[] = {
      {0, "0 B"},
      {1, "1 B"},
      {512, "512 B"},
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

TEST(ProgressText, NamesThePhaseAndItsCounts) {
  const std::pair<ProgressSnapshot, const char*> cases[] = {
      {{WorkPhase::None, 5, 5, 5, 5}, ""},
      {{WorkPhase::Sweeping, 120482, 3u << 30, 0, 0}, "Scanning: 120482 entries, 3.0 GB"},
      {{WorkPhase::Collecting, 7, 1536, 0, 0}, "Collecting: 7 files, 1.5 KB"},
      {{WorkPhase::Hashing, 0, 1 << 20, 12, 40}, "Hashing: 12/40 files, 1.0 MB read"},
      {{WorkPhase::Moving, 0, 0, 3, 2000}, "Moving to Trash: 3/2000 items, 0 B"},
      {{WorkPhase::Restoring, 0, 0, 1, 2}, "Restoring: 1/2 items"},
  };
  for (const auto& [snapshot, text] : cases) EXPECT_EQ(progress_text(snapshot), text);
}

}  // namespace
}  // namespace orvc::cli
