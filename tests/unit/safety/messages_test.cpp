#include <gtest/gtest.h>

#include "safety/protection.hpp"

namespace orvc::safety {
namespace {

TEST(SafetyMessages, ShowInvalidBytesAsReplacementCharacters) {
  EXPECT_EQ(refusal_inside_move("/a/\xff"),
            "Refusing to move '/a/\xEF\xBF\xBD' to ~/.Trash: protected macOS system item.");
}

TEST(SystemItem, OperatingSystemManagedEntries) {
  EXPECT_TRUE(is_system_item("/Users/u/x/.DS_Store", ".DS_Store"));
  EXPECT_TRUE(is_system_item("/Users/u/Icon\r", "Icon\r"));
  EXPECT_FALSE(is_system_item("/Users/u/Icon", "Icon"));
  EXPECT_TRUE(is_system_item("/Applications/A.app/Contents/MacOS/a", "a"));
  EXPECT_TRUE(is_system_item("/Users/u/Library/Caches/x/y", "y"));
  EXPECT_TRUE(is_system_item("/usr/bin/env", "env"));
  EXPECT_FALSE(is_system_item("/usr/local/bin/tool", "tool"));
  EXPECT_FALSE(is_system_item("/Users/u/library/caches/y", "y"));
  // A path that is not UTF-8 is judged by its name alone.
  EXPECT_FALSE(is_system_item("/System/\xff/x", "x"));
  EXPECT_TRUE(is_system_item("/a/\xff/.localized", ".localized"));
}

}  // namespace
}  // namespace orvc::safety
