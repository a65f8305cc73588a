#include "duplicates/scan_diagnostics.hpp"

#include <gtest/gtest.h>

namespace orvc::duplicates {
namespace {

// The lines themselves are compared end to end; here, rounding and what the path list escapes.
TEST(ScanDiagnostics, SecondsAreRoundedToTheirDecimals) {
  EXPECT_EQ(size_group_line(5, 2, 12, 1, 0.0016),
            "[dup-scan] size-group: 5 candidate files in 2 same-size buckets (of 12 crawled; 1 "
            "hard-link aliases skipped) in 0.002s");
  EXPECT_EQ(hash_group_line(3, 5, 1.5, 12.345),
            "[dup-scan] hash+group: 3 duplicate groups from 5 candidates in 1.50s (total scan "
            "12.35s)");
}

TEST(ScanDiagnostics, PathListEscapesQuotesBackslashesAndControls) {
  EXPECT_EQ(quoted_path_list({"/a", "/b"}), R"(["/a", "/b"])");
  EXPECT_EQ(quoted_path_list({"/a\"b\\c\nd\x01"}), R"(["/a\"b\\c\nd\u{1}"])");
}

}  // namespace
}  // namespace orvc::duplicates
