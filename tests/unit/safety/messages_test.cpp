#include <gtest/gtest.h>

#include "safety/protection.hpp"

namespace orvc::safety {
namespace {

TEST(SafetyMessages, AreTheFixedSafetyWords) {
  EXPECT_EQ(refusal_before_move("/usr/bin"),
            "Refusing to remove '/usr/bin': protected macOS system item (managed by the OS; "
            "removing it can break system services). Skipped for safety.");
  EXPECT_EQ(refusal_inside_move("/System"),
            "Refusing to move '/System' to ~/.Trash: protected macOS system item.");
  EXPECT_EQ(all_protected_summary(3),
            "3 item(s) were skipped: protected macOS system items that no app may remove "
            "(system-managed \xE2\x80\x94 safe to leave).");
  EXPECT_EQ(cloud_sync_refusal("/Users/u/Dropbox/a"),
            "Refusing to remove '/Users/u/Dropbox/a': it is inside a cloud sync folder (Dropbox, "
            "Google Drive or OneDrive). Deleting it here would also delete it from the cloud. Use "
            "the provider's Make Online-Only / Free Up Space option in Finder instead.");
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
