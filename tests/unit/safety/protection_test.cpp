// Which paths may never be removed: by their text (classify_protected), then as the file system
// resolves them (is_protected_path).
#include "safety/protection.hpp"

#include <gtest/gtest.h>

#include "platform/platform.hpp"
#include "safety/protection.hpp"
#include "safety/system_item.hpp"
#include "support/scoped_env.hpp"
#include "unit/fixture_tree.hpp"

namespace orvc::safety {
namespace {

using namespace orvc::testing;

using Kind = ProtectionKind;

struct Case {
  std::string path;
  std::optional<Kind> kind;  // nothing: not protected
  std::string matched = {};  // checked when not empty
};

void expect_cases(const std::optional<std::string>& home, const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    const auto found = classify_protected(c.path, home);
    if (!c.kind) {
      EXPECT_EQ(found, std::nullopt) << c.path << " gave matched=" << found->matched;
      continue;
    }
    ASSERT_TRUE(found.has_value()) << c.path;
    EXPECT_EQ(found->kind, *c.kind) << c.path;
    EXPECT_TRUE(c.matched.empty() || found->matched == c.matched)
        << c.path << ": " << found->matched;
  }
}

const std::string GROUP = "/Users/u/Library/Group Containers/";
const std::string WHATSAPP_MEDIA = GROUP + "group.net.whatsapp.WhatsApp.shared/Message/Media";
const std::string TELEGRAM_POSTBOX =
    GROUP + "6N38VWS5BX.ru.keepcoder.Telegram/appstore/account-1234/postbox";
const std::string CACHES = "/Users/u/Library/Caches/";
const std::string APP = "/Users/u/Library/Application Support/com.orvanta.app";

TEST(ClassifyProtected, WithHomeAtUsersU) {
  expect_cases(
      "/Users/u",
      {
          // Roots and system roots, but not what lies inside them.
          {"", Kind::Root},
          {"/", Kind::Root},
          {"/applications", Kind::SystemRoot, "/Applications"},
          {"/Applications/Some.app", std::nullopt},
          {"/tmp", Kind::SystemRoot},
          {"/private/tmp/build.log", std::nullopt},
          // The home folder, what holds it, and its top folders.
          {"/users/U/", Kind::HomeOrAncestor},
          {"/Users/u/Library", Kind::HomeOrAncestor},
          {"/Users/u/Desktop", Kind::UserFolder, "/Users/u/Desktop"},
          {"/Users/u/Desktop/old.zip", std::nullopt},
          {"/Users/u/Library/Caches", Kind::UserFolder},
          // Sensitive entries with what lies inside them, by whole components.
          {"/Users/u/.ssh/id_rsa", Kind::SensitivePath, "/Users/u/.ssh"},
          {"/Users/u/.SSH", Kind::SensitivePath},
          {"/Users/u/.ssh_old", std::nullopt},
          {"/Users/u/.gradle/wrapper/dists/x", Kind::SensitivePath, "/Users/u/.gradle/wrapper"},
          {"/Users/u/.gradle/caches", std::nullopt},
          // Messaging media: exactly the files directly inside the media folder may go.
          {WHATSAPP_MEDIA + "/photo.jpg", std::nullopt},
          {WHATSAPP_MEDIA, Kind::SensitivePath},
          {WHATSAPP_MEDIA + "/chat/photo.jpg", Kind::SensitivePath},
          {GROUP + "group.net.whatsapp.whatsapp.shared/Message/Media/p.jpg", Kind::SensitivePath},
          {TELEGRAM_POSTBOX + "/media", std::nullopt},
          {TELEGRAM_POSTBOX + "/media/file", Kind::SensitivePath},
          {TELEGRAM_POSTBOX + "/Media", Kind::SensitivePath},
          {GROUP + "X.ru.keepcoder.Telegram/appstore/account/postbox/media", Kind::SensitivePath},
          // System prefixes, matched or holding a protected place.
          {"/private/var", Kind::SensitivePath, "/private/var/db"},
          {"/private/var/folders/xy/T/item", Kind::SensitivePath, "/private/var/folders"},
          {"/usr/local/bin/tool", Kind::SensitivePath, "/usr"},
          // Caches of system daemons, by whole name or name plus ".".
          {CACHES + "com.apple.Safari/x", Kind::SystemDaemonCache, "com.apple.Safari"},
          {CACHES + "COM.APPLE.SIRI", Kind::SystemDaemonCache, "COM.APPLE.SIRI"},
          {CACHES + "com.apple.safari.", Kind::SystemDaemonCache},
          {CACHES + "com.apple.safariX", std::nullopt},
          {"/opt/cloudkit/x", Kind::SystemDaemonCache, "cloudkit"},
          // The application's own folder in any case; as named: e2e/protection_gate_test.
          {"/Users/u/library/application support/COM.ORVANTA.APP/history", Kind::SensitivePath},
          {APP + "lication", std::nullopt},
      });
}

TEST(ClassifyProtected, OtherHomesAndNoHome) {
  expect_cases("/home/dev/u", {{"/home/dev", Kind::HomeOrAncestor}});
  // A home folder under /usr: its files are judged by the home rules only.
  expect_cases("/usr/home/u", {{"/usr/home/u/file.txt", std::nullopt},
                               {"/usr/bin/ls", Kind::SensitivePath, "/usr"}});
  expect_cases("/Users/other", {{APP, std::nullopt}});
  expect_cases(std::nullopt, {{"/Users/u/.ssh", std::nullopt},
                              {"/usr", Kind::SensitivePath},
                              {"/Applications", Kind::SystemRoot}});
}

TEST(ClassifyProtected, LinuxSystemPlacesAddedByThePlatform) {
  if (platform::extra_system_prefixes().empty()) GTEST_SKIP() << "no extra places here";
  expect_cases("/Users/u", {
                               {"/var/lib/dpkg/status", Kind::SensitivePath, "/var/lib"},
                               {"/run/user/0", Kind::SensitivePath, "/run"},
                               {"/lib64", Kind::SensitivePath},
                               {"/var/libfoo", std::nullopt},
                               {"/HOME", Kind::SystemRoot, "/home"},
                               {"/home/someone/file", std::nullopt},
                               {"/mnt/disk/backup", std::nullopt},
                           });
  expect_cases("/var/lib/u", {{"/var/lib/u/file", std::nullopt}});
}

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

std::optional<ProtectionKind> kind_of(const std::string& path) {
  const auto found = is_protected_path(path);
  return found ? std::optional(found->kind) : std::nullopt;
}

class IsProtectedPath : public ::testing::Test {
 protected:
  TempDir home_;
  ScopedEnv home_env_{"HOME", home_.path()};
};

TEST_F(IsProtectedPath, LinkIntoAProtectedPlaceIsJudgedByItsResolvedPath) {
  make_tree(home_.path(), {".ssh/", "projects/keys->../.ssh", "shared->/usr/share"});
  EXPECT_EQ(kind_of(home_ / "projects/keys/id_rsa"), ProtectionKind::SensitivePath);
  EXPECT_EQ(kind_of(home_ / "shared/doc/readme"), ProtectionKind::SensitivePath);
  // The link itself is judged as a link.
  EXPECT_EQ(kind_of(home_ / "projects/keys"), std::nullopt);
  EXPECT_EQ(kind_of(home_ / "projects/../projects/notes.txt"), std::nullopt);
  EXPECT_EQ(kind_of(home_ / "projects/../.ssh/config"), ProtectionKind::SensitivePath);
}

TEST_F(IsProtectedPath, HomeReachedThroughALinkIsCanonicalisedForTheSecondPass) {
  make_tree(home_.path(), {"real/.ssh/", "alias->real"});
  const ScopedEnv linked_home("HOME", home_ / "alias");
  EXPECT_EQ(kind_of(home_ / "real/.ssh/id_rsa"), ProtectionKind::SensitivePath);
  EXPECT_EQ(kind_of(home_ / "real/Desktop"), ProtectionKind::UserFolder);
  EXPECT_EQ(kind_of(home_ / "real/Desktop/old.zip"), std::nullopt);
}

// Without a usable HOME the home rules go and the system rules stay.
TEST_F(IsProtectedPath, WithoutAUsableHomeTheSystemRulesStay) {
  for (const std::optional<std::string>& odd_home :
       {std::optional<std::string>(), std::optional<std::string>(""),
        std::optional<std::string>("/"), std::optional<std::string>("."),
        std::optional<std::string>("/..")}) {
    SCOPED_TRACE(odd_home.value_or("(unset)"));
    const ScopedEnv home("HOME", odd_home);
    EXPECT_EQ(kind_of("/usr/bin/env"), ProtectionKind::SensitivePath);
    EXPECT_EQ(kind_of("/etc/passwd"), ProtectionKind::SensitivePath);
    EXPECT_EQ(kind_of(""), ProtectionKind::Root);
    if (!odd_home) {
      EXPECT_EQ(kind_of(home_ / ".ssh/id_rsa"), std::nullopt);
    }
  }
}

TEST_F(IsProtectedPath, OddInputGetsAnAnswerAndNothingChanges) {
  EXPECT_EQ(kind_of(".."), std::nullopt);
  EXPECT_EQ(kind_of("."), ProtectionKind::Root);
  EXPECT_EQ(kind_of(home_ / "\xff\xfe/file"), std::nullopt);
  EXPECT_EQ(kind_of(home_ / ".ssh/\xff"), ProtectionKind::SensitivePath);
  EXPECT_EQ(kind_of(home_ / std::string("a\0b", 3)), std::nullopt);
  std::string deep = home_ / "deep";
  for (int i = 0; i < 10000; ++i) deep += "/a";
  EXPECT_EQ(kind_of(deep), std::nullopt);
  EXPECT_EQ(kind_of("/usr" + deep), ProtectionKind::SensitivePath);
  write_file(home_ / "work/a.txt", "a");
  is_protected_path(home_ / "work/a.txt");
  is_protected_path(home_ / "work/missing/deeper/b.txt");
  EXPECT_EQ(sorted_entries(home_ / "work"), std::vector<std::string>{"a.txt"});
}

}  // namespace
}  // namespace orvc::safety
