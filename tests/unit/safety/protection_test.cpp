// Which paths may never be removed: by their text (classify_protected), then as the file system
// resolves them (is_protected_path).
#include "safety/protection.hpp"

#include <gtest/gtest.h>

#include "platform/platform.hpp"
#include "safety/system_item.hpp"
#include "support/scoped_env.hpp"
#include "unit/fixture_tree.hpp"

namespace orvc::safety {
namespace {

using namespace orvc::testing;
using enum ProtectionKind;

struct Case {
  std::string path;
  std::optional<ProtectionKind> kind;  // nothing: not protected
  std::string matched = {};            // checked when not empty
};

// Each case through `judge`: classify_protected with a given home, or is_protected_path.
template <class Judge>
void expect_cases(const Judge& judge, const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    const auto found = judge(c.path);
    EXPECT_EQ(found ? std::optional(found->kind) : std::nullopt, c.kind) << c.path;
    EXPECT_EQ(found && !c.matched.empty() ? found->matched : c.matched, c.matched) << c.path;
  }
}

auto with_home(const std::optional<std::string>& home) {
  return [home](const std::string& path) { return classify_protected(path, home); };
}

const std::string GROUP = "/Users/u/Library/Group Containers/";
const std::string WHATSAPP_MEDIA = GROUP + "group.net.whatsapp.WhatsApp.shared/Message/Media";
const std::string TELEGRAM_POSTBOX =
    GROUP + "6N38VWS5BX.ru.keepcoder.Telegram/appstore/account-1234/postbox";
const std::string CACHES = "/Users/u/Library/Caches/";
const std::string APP = "/Users/u/Library/Application Support/com.orvanta.app";

TEST(ClassifyProtected, WithHomeAtUsersU) {
  expect_cases(
      with_home("/Users/u"),
      {
          // Roots and system roots, but not what lies inside them.
          {"", Root},
          {"/", Root},
          {"/applications", SystemRoot, "/Applications"},
          {"/Applications/Some.app", std::nullopt},
          {"/tmp", SystemRoot},
          {"/private/tmp/build.log", std::nullopt},
          // The home folder, what holds it, and its top folders.
          {"/users/U/", HomeOrAncestor},
          {"/Users/u/Library", HomeOrAncestor},
          {"/Users/u/Desktop", UserFolder, "/Users/u/Desktop"},
          {"/Users/u/Desktop/old.zip", std::nullopt},
          {"/Users/u/Library/Caches", UserFolder},
          // Sensitive entries with what lies inside them, by whole components.
          {"/Users/u/.ssh/id_rsa", SensitivePath, "/Users/u/.ssh"},
          {"/Users/u/.SSH", SensitivePath},
          {"/Users/u/.ssh_old", std::nullopt},
          {"/Users/u/.gradle/wrapper/dists/x", SensitivePath, "/Users/u/.gradle/wrapper"},
          {"/Users/u/.gradle/caches", std::nullopt},
          // Messaging media: exactly the files directly inside the media folder may go.
          {WHATSAPP_MEDIA + "/photo.jpg", std::nullopt},
          {WHATSAPP_MEDIA, SensitivePath},
          {WHATSAPP_MEDIA + "/chat/photo.jpg", SensitivePath},
          {GROUP + "group.net.whatsapp.whatsapp.shared/Message/Media/p.jpg", SensitivePath},
          {TELEGRAM_POSTBOX + "/media", std::nullopt},
          {TELEGRAM_POSTBOX + "/media/file", SensitivePath},
          {TELEGRAM_POSTBOX + "/Media", SensitivePath},
          {GROUP + "X.ru.keepcoder.Telegram/appstore/account/postbox/media", SensitivePath},
          // System prefixes, matched or holding a protected place.
          {"/private/var", SensitivePath, "/private/var/db"},
          {"/private/var/folders/xy/T/item", SensitivePath, "/private/var/folders"},
          {"/usr/local/bin/tool", SensitivePath, "/usr"},
          // Caches of system daemons, by whole name or name plus ".".
          {CACHES + "com.apple.Safari/x", SystemDaemonCache, "com.apple.Safari"},
          {CACHES + "COM.APPLE.SIRI", SystemDaemonCache, "COM.APPLE.SIRI"},
          {CACHES + "com.apple.safari.", SystemDaemonCache},
          {CACHES + "com.apple.safariX", std::nullopt},
          {"/opt/cloudkit/x", SystemDaemonCache, "cloudkit"},
          // The application's own folder in any case; as named: e2e/protection_gate_test.
          {"/Users/u/library/application support/COM.ORVANTA.APP/history", SensitivePath},
          {APP + "lication", std::nullopt},
      });
}

TEST(ClassifyProtected, OtherHomesAndNoHome) {
  expect_cases(with_home("/home/dev/u"), {{"/home/dev", HomeOrAncestor}});
  // A home folder under /usr: its files are judged by the home rules only.
  expect_cases(with_home("/usr/home/u"),
               {{"/usr/home/u/file.txt", std::nullopt}, {"/usr/bin/ls", SensitivePath, "/usr"}});
  expect_cases(with_home("/Users/other"), {{APP, std::nullopt}});
  expect_cases(
      with_home(std::nullopt),
      {{"/Users/u/.ssh", std::nullopt}, {"/usr", SensitivePath}, {"/Applications", SystemRoot}});
}

TEST(ClassifyProtected, LinuxSystemPlacesAddedByThePlatform) {
  if (platform::extra_system_prefixes().empty()) GTEST_SKIP() << "no extra places here";
  expect_cases(with_home("/Users/u"), {{"/var/lib/dpkg/status", SensitivePath, "/var/lib"},
                                       {"/run/user/0", SensitivePath, "/run"},
                                       {"/lib64", SensitivePath},
                                       {"/var/libfoo", std::nullopt},
                                       {"/HOME", SystemRoot, "/home"},
                                       {"/home/someone/file", std::nullopt},
                                       {"/mnt/disk/backup", std::nullopt}});
  expect_cases(with_home("/var/lib/u"), {{"/var/lib/u/file", std::nullopt}});
}

TEST(SafetyMessages, ShowInvalidBytesAsReplacementCharacters) {
  EXPECT_EQ(refusal_inside_move("/a/\xff"),
            "Refusing to move '/a/\xEF\xBF\xBD' to ~/.Trash: protected macOS system item.");
}

// Each path is judged with its last component as the name; a path that is not UTF-8 is judged
// by its name alone.
TEST(SystemItem, OperatingSystemManagedEntries) {
  const auto system_item = [](std::string_view path) {
    return is_system_item(path, path.substr(path.rfind('/') + 1));
  };
  for (const char* path : {"/Users/u/x/.DS_Store", "/Users/u/Icon\r", "/usr/bin/env",
                           "/Applications/A.app/Contents/MacOS/a", "/Users/u/Library/Caches/x/y",
                           "/a/\xff/.localized"})
    EXPECT_TRUE(system_item(path)) << path;
  for (const char* path :
       {"/Users/u/Icon", "/usr/local/bin/tool", "/Users/u/library/caches/y", "/System/\xff/x"})
    EXPECT_FALSE(system_item(path)) << path;
}

class IsProtectedPath : public TempHomeTest {};

// A link is judged as a link, what lies below it by its resolved path; a home reached through a
// link is canonicalised for the second pass.
TEST_F(IsProtectedPath, LinksAreResolvedBelowTheLinkAndInTheHome) {
  make_tree(home_.path(),
            {".ssh/", "projects/keys->../.ssh", "shared->/usr/share", "real/.ssh/", "alias->real"});
  expect_cases(is_protected_path, {{home_ / "projects/keys/id_rsa", SensitivePath},
                                   {home_ / "shared/doc/readme", SensitivePath},
                                   {home_ / "projects/keys", std::nullopt},
                                   {home_ / "projects/../projects/notes.txt", std::nullopt},
                                   {home_ / "projects/../.ssh/config", SensitivePath}});
  const ScopedEnv linked_home("HOME", home_ / "alias");
  expect_cases(is_protected_path, {{home_ / "real/.ssh/id_rsa", SensitivePath},
                                   {home_ / "real/Desktop", UserFolder},
                                   {home_ / "real/Desktop/old.zip", std::nullopt}});
}

// Without a usable HOME the home rules go and the system rules stay.
TEST_F(IsProtectedPath, WithoutAUsableHomeTheSystemRulesStay) {
  for (const auto& odd_home : std::vector<std::optional<std::string>>{{}, "", "/", ".", "/.."}) {
    SCOPED_TRACE(odd_home.value_or("(unset)"));
    const ScopedEnv home("HOME", odd_home);
    expect_cases(is_protected_path,
                 {{"/usr/bin/env", SensitivePath}, {"/etc/passwd", SensitivePath}, {"", Root}});
    if (!odd_home) expect_cases(is_protected_path, {{home_ / ".ssh/id_rsa", std::nullopt}});
  }
}

TEST_F(IsProtectedPath, OddInputGetsAnAnswerAndNothingChanges) {
  std::string deep = home_ / "deep";
  for (int i = 0; i < 10000; ++i) deep += "/a";
  expect_cases(is_protected_path, {{"..", std::nullopt},
                                   {".", Root},
                                   {home_ / "\xff\xfe/file", std::nullopt},
                                   {home_ / ".ssh/\xff", SensitivePath},
                                   {home_ / std::string("a\0b", 3), std::nullopt},
                                   {deep, std::nullopt},
                                   {"/usr" + deep, SensitivePath}});
  write_file(home_ / "work/a.txt", "a");
  is_protected_path(home_ / "work/a.txt");
  is_protected_path(home_ / "work/missing/deeper/b.txt");
  EXPECT_EQ(sorted_entries(home_ / "work"), std::vector<std::string>{"a.txt"});
}

}  // namespace
}  // namespace orvc::safety
